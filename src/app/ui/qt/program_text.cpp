#include "app/ui/qt/program_text.h"

#include <QAbstractButton>
#include <QByteArray>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>

#include "common/text.h"

namespace zendrel {

QString ToQString(const std::string& text) {
    const std::string utf8 = Windows1252ToUtf8(text);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::optional<std::string> ToProgramText(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToWindows1252(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

std::string ToProgramTextOrMarked(const QString& text) {
    if (std::optional<std::string> whole = ToProgramText(text)) return *whole;
    std::string marked;
    for (const uint codePoint : text.toUcs4()) {
        const char32_t single = codePoint;
        const std::optional<std::string> one = ToProgramText(QString::fromUcs4(&single, 1));
        marked += one ? *one : std::string("?");
    }
    return marked;
}

bool FitsWindows1252(const QString& text) { return ToProgramText(text).has_value(); }

std::string ShownText(const QWidget* widget) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) return ToProgramTextOrMarked(edit->text());
    if (const auto* frame = qobject_cast<const QGroupBox*>(widget)) return ToProgramTextOrMarked(frame->title());
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return ToProgramTextOrMarked(label->text());
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return ToProgramTextOrMarked(button->text());
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) return ToProgramTextOrMarked(combo->currentText());
    return "";
}

}  // namespace zendrel
