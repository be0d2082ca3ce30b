// Small pieces the desktop dialogs share: texts of the string table as QString, help-file text,
// window placement and the desktop's opener.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <string_view>

class QWidget;

namespace quorvex {

/// The string-table text of `id` in the current language.
QString Tr(int id);
/// The text of `id` formatted with one argument.
QString Tr(int id, const std::string& arg);
QString Tr(int id, int number);

/// Text from a help file (Windows-1252) as a QString; bytes the code page does not define stay
/// as the Latin-1 character of the same number.
QString FromWindows1252(std::string_view bytes);

/// Places a top-level window without resizing it: centred horizontally, with a third of the
/// free screen height above it.
void CentreWindow(QWidget* window);

/// Opens a file with the desktop's default program. Returns false when nothing could open it.
using DocumentOpener = std::function<bool(const QString& path)>;

/// The desktop's opener (QDesktopServices).
bool OpenWithDesktopServices(const QString& path);

/// Opens `path` with `open`; when that fails, says so in a message box over `parent`.
void OpenOrComplain(const DocumentOpener& open, const QString& path, QWidget* parent);

}  // namespace quorvex
