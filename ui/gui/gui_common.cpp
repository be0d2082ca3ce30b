#include "ui/gui/gui_common.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>
#include <QWidget>

#include "core/format.h"
#include "core/strings.h"
#include "ui/ui_strings.h"

namespace quorvex {

QString Tr(int id) {
  return QString::fromStdString(LoadText(id));
}

QString Tr(int id, const std::string& arg) {
  return QString::fromStdString(FormatText(LoadText(id), {FormatArg(arg)}));
}

QString Tr(int id, int number) {
  return QString::fromStdString(FormatText(LoadText(id), {FormatArg(number)}));
}

QString FromWindows1252(std::string_view bytes) {
  // 0x80 to 0x9F; 0 where Windows-1252 has no character.
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  QString text;
  text.reserve(qsizetype(bytes.size()));
  for (unsigned char c : bytes) {
    char16_t u = c;
    if (c >= 0x80 && c < 0xA0 && kHigh[c - 0x80]) u = kHigh[c - 0x80];
    text.append(QChar(u));
  }
  return text;
}

void CentreWindow(QWidget* window) {
  QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const QSize size = window->frameGeometry().size();
  window->move(area.x() + (area.width() - size.width()) / 2,
               area.y() + (area.height() - size.height()) / 3);
}

bool OpenWithDesktopServices(const QString& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

void OpenOrComplain(const DocumentOpener& open, const QString& path, QWidget* parent) {
  if (open && open(path)) return;
  QMessageBox::information(parent, Tr(kTextWizardCaption),
                           Tr(kTextCantOpenDocument, path.toStdString()));
}

}  // namespace quorvex
