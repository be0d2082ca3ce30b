// The help-file list: the help files under a folder (the home folder) with their titles and
// copyrights. The scan runs on a worker thread, so the dialog never freezes; Cancel or closing
// the dialog stops it.
#pragma once

#include <QDialog>
#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "ui/gui/gui_common.h"

class QLabel;
class QTreeWidget;

namespace quorvex {

class HelpFileListDialog : public QDialog {
 public:
  /// `choose` receives the path the user takes (OK, a double-click, View); `open` opens a
  /// listed file for View. The scan of `root` starts when the dialog is created.
  HelpFileListDialog(const std::filesystem::path& root, std::function<void(const QString&)> choose,
                     DocumentOpener open, QWidget* parent = nullptr);
  ~HelpFileListDialog() override;

  /// True until the scan has ended (or been stopped).
  bool scanning() const { return scanning_; }
  /// The list (object name "8002"): title, copyright and path of each help file found.
  QTreeWidget* list() const { return list_; }

 protected:
  void done(int result) override;

 private:
  void Stop();
  void TakeSelected();

  QLabel* searching_;
  QLabel* folder_;
  QTreeWidget* list_;
  std::function<void(const QString&)> choose_;
  DocumentOpener open_;
  std::atomic<bool> stop_{false};
  bool scanning_ = true;
  std::thread scan_;
};

}  // namespace quorvex
