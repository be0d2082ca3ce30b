// The pictures of the wizard's panels and the program icon, painted in code.
//
// Each option panel shows a small illustration of a choice; it carries the id of the radio
// button it illustrates (6001 is the program's emblem on the welcome and ready panels).
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace quorvex {

/// The picture of control `id`; a null pixmap for an id without one.
QPixmap PanelPicture(int id);

/// The program icon as a square image of `size` pixels (a help book turning into a
/// document). Needs no fonts, so the build can write it to a file.
QImage ProgramIcon(int size);

/// The program icon in the sizes a window manager asks for.
QIcon ProgramWindowIcon();

}  // namespace quorvex
