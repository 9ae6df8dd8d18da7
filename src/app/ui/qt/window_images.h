#pragma once
// The program's own pictures, built into the program file.

#include <QIcon>
#include <QPixmap>

namespace zendrel {

QIcon ProgramIcon();
QPixmap DonationPicture();   // 62 x 31
QPixmap ClearLogPicture();   // 10 x 10

}  // namespace zendrel
