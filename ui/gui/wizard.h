// The wizard: a welcome panel, the file page (Qt's own file dialog embedded, with the two
// filters, multiple selection and the title preview) and the option panels, one step at a
// time. Control ids become the widgets' object names: the radio buttons "7202", "7203", ...,
// the buttons "2" (Close), "7101" (Back), "7102" (Continue), "1038" (Help), "1" (Convert),
// "8005" (Scan), the title line "7201" and the texts "7105" of each panel ("panel0" to
// "panel12"), the status line "7901", the file-name field "1152" and note "7238".
#pragma once

#include <QDialog>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "core/options.h"
#include "ui/gui/gui_common.h"

class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace quorvex {

/// Where the wizard looks and how it opens documents.
struct WizardContext {
  std::filesystem::path start_folder = ".";  // the file page's first folder
  std::filesystem::path scan_root;           // where the help-file list searches
  DocumentOpener open;                       // a listed file, the manual
  QString manual;                            // the manual's path
  uint32_t code_page = 0;                    // the stored choice; 0: as the help file says
};

class EmbeddedFileDialog;

class Wizard : public QDialog {
 public:
  /// `options`: the stored options in their canonical set.
  Wizard(ConversionOptions options, WizardContext context, QWidget* parent = nullptr);

  int step() const { return step_; }
  /// The options as the radio buttons give them, in their canonical set.
  ConversionOptions options() const { return options_; }
  /// The help files chosen, in order (after Convert, or Continue on the last step).
  const std::vector<std::string>& selected_paths() const { return selected_; }
  /// The code page chosen on the file page; 0: as each help file says.
  uint32_t code_page() const;

  QFileDialog* file_dialog() const;
  QLineEdit* file_name_edit() const { return file_name_; }
  QWidget* panel(int n) const { return panels_[size_t(n)]; }
  /// Shows step `step` (0 to 12) as Continue and Back do: its panel, note 7238 and the state
  /// of Continue and Back.
  void ShowStep(int step);

 private:
  QWidget* BuildFilePage();
  QWidget* BuildOptionPanel(int n);
  QWidget* BuildEmblemPanel(int n);
  QLabel* AddTitle(QWidget* panel, int n);
  QRadioButton* Radio(int control) const;
  void SetButtonsFromOptions();
  void ReadButtons();
  void StepBy(int direction);
  void UpdateContinue();
  void Convert();
  void Scan();

  WizardContext context_;
  ConversionOptions options_;
  bool buttons_initialised_ = false;
  bool preview_ok_ = false;
  int step_ = 0;
  std::vector<std::string> selected_;

  std::array<QWidget*, 13> panels_{};
  QStackedWidget* stack_;
  EmbeddedFileDialog* files_ = nullptr;
  QLineEdit* file_name_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* note_ = nullptr;
  QPushButton* convert_ = nullptr;
  QComboBox* code_page_ = nullptr;
  QPushButton* close_;
  QPushButton* back_;
  QPushButton* continue_;
  QPushButton* help_;
};

}  // namespace quorvex
