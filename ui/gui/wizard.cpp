#include "ui/gui/wizard.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/gui/help_file_list.h"
#include "ui/gui/pictures.h"
#include "ui/probe.h"
#include "ui/settings.h"
#include "ui/ui_strings.h"

#ifndef QUORVEX_VERSION
#define QUORVEX_VERSION "0.0.0"
#endif

namespace quorvex {

namespace {

constexpr int kText = kTextExplanation;

/// One radio button of an option panel: its explanatory text (0: none) and whether a picture
/// of the same id illustrates it.
struct Choice {
  int control = 0;
  int text = 0;
  bool picture = false;
};

/// An option panel: its general explanatory text and its radio buttons, top to bottom.
struct OptionPanel {
  int intro = 0;
  std::array<Choice, 3> choices{};
};

/// Panels 2 to 12 (10 is the ready panel, with no options).
constexpr std::array<OptionPanel, 13> kOptionPanels{{
    {},
    {},
    {0, {{{7203, kText + 1, true}, {7202, kText + 2, true}}}},
    {kText + 4, {{{7402, kText + 3}, {7401, 0}}}},
    {kText + 7, {{{7302, kText + 5}, {7301, kText + 6}}}},
    {kText + 8, {{{7502, 0, true}, {7501, 0, true}}}},
    {kText + 10, {{{7411, kText + 9, true}, {7412, 0}}}},
    {kText + 11, {{{7421, kText + 12, true}, {7422, 0}}}},
    {kText + 15, {{{7602, kText + 13}, {7601, kText + 14}}}},
    {kText + 17, {{{7707, kText + 16, true}, {7701, 0, true}, {7702, 0}}}},
    {},
    {kText + 21, {{{7813, kText + 19}, {7814, kText + 20}}}},
    {kText + 24, {{{7811, kText + 22}, {7812, kText + 23}}}},
}};

constexpr int kPictureColumnWidth = 112;
const char* const kFilterPatterns[] = {" (*.HLP *.MVB *.M13)", " (*.HLP)"};

QString Name(int id) {
  return QString::number(id);
}

QLabel* TextLabel(const QString& text, QWidget* parent, const char* name = "7105") {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QLabel* PictureLabel(int id, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(Name(id));
  label->setPixmap(PanelPicture(id));
  label->setAlignment(Qt::AlignCenter);
  if (id != 6001) {
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setStyleSheet("background: white; color: #606060;");
  }
  label->setFixedSize(label->pixmap().size() + QSize(id == 6001 ? 0 : 4, id == 6001 ? 0 : 4));
  return label;
}

}  // namespace

/// Qt's file dialog as a page of the wizard: it never closes itself; Return and Escape go to
/// the wizard (Return on a typed folder still enters it), and a double-click on a file
/// changes nothing.
class EmbeddedFileDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;
  std::function<void()> on_return;
  std::function<void()> on_escape;

  bool TypedFolder() const {
    const QStringList names = selectedFiles();
    return names.size() == 1 && QFileInfo(names[0]).isDir();
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      if (TypedFolder()) {
        QFileDialog::accept();  // enters the folder
      } else if (on_return) {
        on_return();
      }
      return;
    }
    if (event->matches(QKeySequence::Cancel)) {
      if (on_escape) on_escape();
      return;
    }
    QFileDialog::keyPressEvent(event);
  }
  void accept() override {}  // a double-click on a file
  void reject() override {}
  void done(int) override {}
};

Wizard::Wizard(ConversionOptions options, WizardContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)), options_(options & ~kEwSupport) {
  setObjectName("7000");
  setWindowTitle(Tr(kTextWizardCaption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  stack_ = new QStackedWidget(this);
  for (int n = 0; n < 13; ++n) {
    QWidget* panel = n == 0                ? BuildFilePage()
                     : (n == 1 || n == 10) ? BuildEmblemPanel(n)
                                           : BuildOptionPanel(n);
    panel->setObjectName("panel" + QString::number(n));
    panels_[size_t(n)] = panel;
    stack_->addWidget(panel);
  }

  help_ = new QPushButton(Tr(kTextHelp), this);
  help_->setObjectName("1038");
  close_ = new QPushButton(Tr(kTextClose), this);
  close_->setObjectName("2");
  back_ = new QPushButton(Tr(kTextBack), this);
  back_->setObjectName("7101");
  continue_ = new QPushButton(Tr(kTextContinue), this);
  continue_->setObjectName("7102");
  for (QPushButton* b : {help_, close_, back_, continue_}) b->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(help_);
  buttons->addStretch(1);
  buttons->addWidget(close_);
  buttons->addWidget(back_);
  buttons->addWidget(continue_);
  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(stack_, 1);
  layout->addWidget(line);
  layout->addLayout(buttons);
  setMinimumSize(820, 600);

  connect(close_, &QPushButton::clicked, this, [this] {
    ReadButtons();
    reject();
  });
  connect(back_, &QPushButton::clicked, this, [this] { StepBy(-1); });
  connect(continue_, &QPushButton::clicked, this, [this] {
    ReadButtons();
    if (step_ == kStepReady) {
      Convert();
    } else {
      StepBy(+1);
    }
  });
  connect(help_, &QPushButton::clicked, this, [this] {
    ReadButtons();
    if (context_.manual.isEmpty() || !QFileInfo::exists(context_.manual)) {
      QMessageBox::information(this, Tr(kTextWizardCaption),
                               Tr(kTextManualMissing, context_.manual.toStdString()));
      return;
    }
    OpenOrComplain(context_.open, context_.manual, this);
  });

  Radio(7602)->setEnabled(false);
  SetButtonsFromOptions();
  ShowStep(kStepWelcome);
}

uint32_t Wizard::code_page() const {
  return code_page_ ? code_page_->currentData().toUInt() : 0;
}

QFileDialog* Wizard::file_dialog() const {
  return files_;
}

QLabel* Wizard::AddTitle(QWidget* panel, int n) {
  auto* title =
      new QLabel(n == 1 ? Tr(kTextPanelTitle + 1, "Quorvex") : Tr(kTextPanelTitle + n), panel);
  title->setObjectName("7201");
  title->setTextFormat(Qt::PlainText);
  QFont font = title->font();
  font.setBold(true);
  font.setUnderline(true);
  font.setPointSizeF(font.pointSizeF() * 1.25);
  title->setFont(font);
  return title;
}

QWidget* Wizard::BuildFilePage() {
  auto* page = new QWidget;
  files_ = new EmbeddedFileDialog(page);
  files_->setWindowFlags(Qt::Widget);
  files_->setOption(QFileDialog::DontUseNativeDialog);
  files_->setFileMode(QFileDialog::ExistingFiles);
  files_->setSizeGripEnabled(false);
  QStringList filters;
  filters << Tr(kTextFilterAll) + kFilterPatterns[0] << Tr(kTextFilterHlp) + kFilterPatterns[1];
  files_->setNameFilters(filters);
  files_->setDefaultSuffix("HLP");
  files_->setDirectory(QString::fromStdString(context_.start_folder.string()));
  files_->setLabelText(QFileDialog::FileName, Tr(kTextFileNameLabel));
  files_->setLabelText(QFileDialog::FileType, Tr(kTextFormatLabel));
  files_->setViewMode(QFileDialog::List);
  if (auto* box = files_->findChild<QDialogButtonBox*>("buttonBox")) box->hide();
  // The platform ids of the standard file controls.
  const std::pair<const char*, int> ids[] = {
      {"fileNameEdit", 1152},  {"fileNameLabel", 1090}, {"listView", 1120}, {"fileTypeCombo", 1136},
      {"fileTypeLabel", 1089}, {"lookInCombo", 1088},   {"sidebar", 1121}};
  for (const auto& [qt_name, id] : ids)
    if (QWidget* w = files_->findChild<QWidget*>(qt_name)) w->setObjectName(Name(id));
  file_name_ = files_->findChild<QLineEdit*>(Name(1152));
  // The file dialog gives these two labels no buddy, so their mnemonics would show as "&".
  const std::pair<const char*, int> labels[] = {{"lookInLabel", 1088}, {"1089", 1136}};
  for (const auto& [label_name, buddy] : labels) {
    if (auto* label = files_->findChild<QLabel*>(label_name))
      label->setBuddy(files_->findChild<QWidget*>(Name(buddy)));
  }
  if (auto* look_in = files_->findChild<QLabel*>("lookInLabel"))
    look_in->setText(Tr(kTextDirectoryLabel));
  if (auto* splitter = files_->findChild<QSplitter*>("splitter")) splitter->setSizes({170, 600});
  files_->on_return = [this] {
    if (continue_->isEnabled()) continue_->click();
  };
  files_->on_escape = [this] { close_->click(); };
  files_->setVisible(true);

  status_ = new QLabel(page);
  status_->setObjectName("7901");
  status_->setTextFormat(Qt::PlainText);
  auto* scan = new QPushButton(Tr(kTextScan), page);
  scan->setObjectName("8005");
  scan->setAutoDefault(false);
  convert_ = new QPushButton(Tr(kTextConvert), page);
  convert_->setObjectName("1");
  convert_->setAutoDefault(false);

  // Help files that do not say their code page, or say it wrongly, can be read in another.
  code_page_ = new QComboBox(page);
  code_page_->setObjectName("codePage");
  code_page_->addItem(Tr(kTextCodePageAutomatic), 0u);
  for (size_t i = 0; i < kCodePageChoices.size(); ++i)
    code_page_->addItem(Tr(kTextCodePageName + int(i)), kCodePageChoices[i]);
  code_page_->setCurrentIndex(std::max(0, code_page_->findData(context_.code_page)));
  auto* code_page_label = new QLabel(Tr(kTextCodePageLabel), page);
  code_page_label->setBuddy(code_page_);

  auto* row = new QHBoxLayout;
  row->addWidget(status_, 1);
  row->addWidget(code_page_label);
  row->addWidget(code_page_);
  row->addWidget(scan);
  row->addWidget(convert_);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(AddTitle(page, 0));
  layout->addWidget(files_, 1);
  layout->addLayout(row);

  if (file_name_)
    connect(file_name_, &QLineEdit::textChanged, this, [this] {
      ReadButtons();
      UpdateContinue();
    });
  connect(files_, &QFileDialog::directoryEntered, this, [this] { UpdateContinue(); });
  connect(scan, &QPushButton::clicked, this, [this] {
    ReadButtons();
    Scan();
  });
  connect(convert_, &QPushButton::clicked, this, [this] {
    ReadButtons();
    Convert();
  });
  return page;
}

QWidget* Wizard::BuildEmblemPanel(int n) {
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  grid->addWidget(AddTitle(page, n), 0, 0, 1, 2);
  grid->addWidget(PictureLabel(6001, page), 1, 0, 3, 1, Qt::AlignTop);
  auto* texts = new QVBoxLayout;
  texts->addWidget(TextLabel(Tr(n == 1 ? kText + 0 : kText + 18), page));
  if (n == 10) {
    note_ = TextLabel(Tr(kTextWordNote), page, "7238");
    texts->addWidget(note_);
    texts->addWidget(TextLabel(Tr(kTextPressContinue), page, "pressContinue"));
  }
  texts->setSpacing(14);
  grid->addLayout(texts, 1, 1);
  grid->addWidget(TextLabel(Tr(kTextVersionLine, QUORVEX_VERSION), page, "version"), 3, 1);
  grid->setColumnMinimumWidth(0, kPictureColumnWidth);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(2, 1);
  grid->setHorizontalSpacing(16);
  return page;
}

QWidget* Wizard::BuildOptionPanel(int n) {
  const OptionPanel& spec = kOptionPanels[size_t(n)];
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  grid->setHorizontalSpacing(16);
  grid->setVerticalSpacing(12);
  int row = 0;
  grid->addWidget(AddTitle(page, n), row++, 0, 1, 2);
  if (spec.intro) grid->addWidget(TextLabel(Tr(spec.intro), page), row++, 0, 1, 2);
  for (const Choice& c : spec.choices) {
    if (!c.control) continue;
    const auto* it = std::find(kRadioControls.begin(), kRadioControls.end(), c.control);
    auto* radio = new QRadioButton(Tr(kTextRadio + int(it - kRadioControls.begin())), page);
    radio->setObjectName(Name(c.control));
    connect(radio, &QRadioButton::toggled, this, [this] { ReadButtons(); });
    auto* cell = new QVBoxLayout;
    cell->setSpacing(4);
    cell->addWidget(radio);
    if (c.text) {
      QLabel* text = TextLabel(Tr(c.text), page);
      text->setContentsMargins(24, 0, 0, 0);
      cell->addWidget(text);
    }
    if (c.picture) grid->addWidget(PictureLabel(c.control, page), row, 0, Qt::AlignTop);
    grid->addLayout(cell, row++, 1, Qt::AlignTop);
  }
  grid->setColumnMinimumWidth(0, kPictureColumnWidth);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(row, 1);
  return page;
}

QRadioButton* Wizard::Radio(int control) const {
  return findChild<QRadioButton*>(Name(control));
}

void Wizard::SetButtonsFromOptions() {
  for (const SettingsRow& row : kSettingsTable) {
    if (options_ & row.bit) {
      Radio(row.on_control)->setChecked(true);
    } else if (row.off_control) {
      Radio(row.off_control)->setChecked(true);
    }
  }
  if (!(options_ & (kJumps | kPageLinks))) Radio(kNoJumpsControl)->setChecked(true);
  buttons_initialised_ = true;
}

void Wizard::ReadButtons() {
  if (!buttons_initialised_) return;
  ConversionOptions o = 0;
  for (const SettingsRow& row : kSettingsTable)
    if (Radio(row.on_control)->isChecked()) o |= row.bit;
  options_ = ApplyCanonicalOptions(o);
}

void Wizard::StepBy(int direction) {
  ReadButtons();
  ShowStep(StepWizard(step_, direction, options_));
}

void Wizard::ShowStep(int step) {
  step_ = step;
  const int panel = kWizardSteps[size_t(step)].dialog - 7000;
  stack_->setCurrentWidget(panels_[size_t(panel)]);
  const bool word_needed = (options_ & (kPageLinks | kToc | kIndex)) ||
                           ((options_ & kForPrint) && !(options_ & kBmpInRtf));
  note_->setVisible(word_needed);
  UpdateContinue();
  back_->setEnabled(step > 0);
}

void Wizard::UpdateContinue() {
  const std::filesystem::path folder = files_->directory().absolutePath().toStdString();
  const TitlePreview preview =
      PreviewHelpFileTitle(FileNameFieldPaths(file_name_->text().toStdString(), folder));
  preview_ok_ = preview.ok;
  status_->setText(FromWindows1252(preview.title));
  const bool enabled = step_ == kStepWelcome || preview_ok_;
  if (!enabled && continue_->hasFocus()) help_->setFocus();
  continue_->setEnabled(enabled);
  continue_->setDefault(enabled);
  back_->setDefault(!enabled);
  convert_->setEnabled(preview_ok_);
}

void Wizard::Convert() {
  UpdateContinue();
  if (!preview_ok_) return;
  const std::filesystem::path folder = files_->directory().absolutePath().toStdString();
  selected_ = FileNameFieldPaths(file_name_->text().toStdString(), folder);
  accept();
}

void Wizard::Scan() {
  HelpFileListDialog list(
      context_.scan_root,
      [this](const QString& path) {
        const QFileInfo info(path);
        files_->setDirectory(info.absolutePath());
        file_name_->setText(info.fileName());
      },
      context_.open, this);
  CentreWindow(&list);
  list.exec();
}

}  // namespace quorvex
