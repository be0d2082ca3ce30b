#include "ui/gui/help_file_list.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <chrono>

#include "ui/probe.h"
#include "ui/ui_strings.h"

namespace quorvex {

namespace {

/// The folder line follows the scan at most this often; more would only flood the window.
constexpr auto kFolderLineInterval = std::chrono::milliseconds(100);

QString PathText(const std::filesystem::path& p) {
  return QString::fromStdString(p.string());
}

}  // namespace

HelpFileListDialog::HelpFileListDialog(const std::filesystem::path& root,
                                       std::function<void(const QString&)> choose,
                                       DocumentOpener open, QWidget* parent)
    : QDialog(parent), choose_(std::move(choose)), open_(std::move(open)) {
  setObjectName("8001");
  setWindowTitle(Tr(kTextListCaption));
  searching_ = new QLabel(Tr(kTextSearching), this);
  searching_->setObjectName("searching");
  folder_ = new QLabel(this);
  folder_->setObjectName("8003");
  folder_->setTextFormat(Qt::PlainText);
  list_ = new QTreeWidget(this);
  list_->setObjectName("8002");
  list_->setColumnCount(3);
  list_->setHeaderLabels({Tr(kTextTitleHeading), Tr(kTextCopyrightHeading), Tr(kTextPathHeading)});
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSortingEnabled(false);
  list_->header()->resizeSection(0, 220);
  list_->header()->resizeSection(1, 320);
  list_->setTextElideMode(Qt::ElideMiddle);  // the ends of long paths are the telling parts
  list_->setMinimumSize(980, 300);

  auto* buttons = new QDialogButtonBox(this);
  auto* ok = buttons->addButton(Tr(kTextListOk), QDialogButtonBox::AcceptRole);
  ok->setObjectName("1");
  ok->setDefault(true);
  auto* cancel = buttons->addButton(Tr(kTextListCancel), QDialogButtonBox::RejectRole);
  cancel->setObjectName("2");
  auto* view = buttons->addButton(Tr(kTextListView), QDialogButtonBox::ActionRole);
  view->setObjectName("9009");

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(searching_);
  layout->addWidget(folder_);
  layout->addWidget(list_, 1);
  layout->addWidget(buttons);

  connect(ok, &QPushButton::clicked, this, [this] {
    TakeSelected();
    accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(list_, &QTreeWidget::itemDoubleClicked, ok, &QPushButton::click);
  connect(view, &QPushButton::clicked, this, [this] {
    TakeSelected();
    if (QTreeWidgetItem* item = list_->currentItem()) OpenOrComplain(open_, item->text(2), this);
  });

  scan_ = std::thread([this, root] {
    auto last_folder_line = std::chrono::steady_clock::now() - kFolderLineInterval;
    ScanCallbacks callbacks;
    callbacks.found = [this](const HelpFileListEntry& e) {
      const QStringList line{FromWindows1252(e.title), FromWindows1252(e.copyright),
                             QString::fromStdString(e.path)};
      QMetaObject::invokeMethod(
          this,
          [this, line] {
            auto* item = new QTreeWidgetItem(line);
            for (int column = 0; column < 3; ++column) item->setToolTip(column, line[column]);
            list_->addTopLevelItem(item);
          },
          Qt::QueuedConnection);
    };
    callbacks.folder_done = [this, &last_folder_line, root](const std::filesystem::path& p) {
      const auto now = std::chrono::steady_clock::now();
      if (p != root && now - last_folder_line < kFolderLineInterval) return;
      last_folder_line = now;
      QMetaObject::invokeMethod(
          this, [this, text = PathText(p)] { folder_->setText(text); }, Qt::QueuedConnection);
    };
    ScanForHelpFiles(root, callbacks, stop_);
    QMetaObject::invokeMethod(
        this,
        [this] {
          scanning_ = false;
          searching_->setText(Tr(kTextScanDone, int(list_->topLevelItemCount())));
        },
        Qt::QueuedConnection);
  });
}

HelpFileListDialog::~HelpFileListDialog() {
  Stop();
}

void HelpFileListDialog::Stop() {
  stop_.store(true);
  if (scan_.joinable()) scan_.join();
}

void HelpFileListDialog::done(int result) {
  Stop();
  scanning_ = false;
  QDialog::done(result);
}

void HelpFileListDialog::TakeSelected() {
  QTreeWidgetItem* item = list_->currentItem();
  if (item && item->isSelected() && choose_) choose_(item->text(2));
}

}  // namespace quorvex
