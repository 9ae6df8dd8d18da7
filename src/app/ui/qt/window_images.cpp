#include "app/ui/qt/window_images.h"

#include <QString>

// The resources sit in a static library: nothing would pull them into the program unless named.
static void LoadWindowImages() { Q_INIT_RESOURCE(images); }

namespace zendrel {
namespace {

QPixmap Picture(const char* name) {
    static const bool loaded = (LoadWindowImages(), true);
    (void)loaded;
    return QPixmap(QStringLiteral(":/zendrel/") + QString::fromLatin1(name));
}

}  // namespace

QIcon ProgramIcon() { return QIcon(Picture("zendrel.png")); }
QPixmap DonationPicture() { return Picture("donate.png"); }
QPixmap ClearLogPicture() { return Picture("clear-log.png"); }

}  // namespace zendrel
