#include "app/ui/qt/qt_log_view.h"

#include <QMetaType>
#include <QScrollBar>

#include <algorithm>

#include "app/ui/qt/program_text.h"

Q_DECLARE_METATYPE(std::string)

namespace zendrel {

QtLogView::QtLogView() {
    qRegisterMetaType<std::string>();
    // Direct on the window's thread, queued from the run's thread: Qt decides by the emitting thread.
    connect(this, &QtLogView::rowPosted, this, &QtLogView::ShowRow, Qt::AutoConnection);
}

void QtLogView::Attach(QPlainTextEdit* text) { text_ = text; }

void QtLogView::AppendRow(const std::string& row) { emit rowPosted(ToQString(row), row); }

bool QtLogView::HasRow(const std::string& row) const {
    return std::find(rows_.begin(), rows_.end(), row) != rows_.end();
}

void QtLogView::Clear() {
    rows_.clear();
    if (text_) text_->clear();
}

void QtLogView::ShowRow(const QString& row, const std::string& programRow) {
    rows_.push_back(programRow);
    if (!text_) return;
    text_->appendPlainText(row);
    text_->verticalScrollBar()->setValue(text_->verticalScrollBar()->maximum());
}

}  // namespace zendrel
