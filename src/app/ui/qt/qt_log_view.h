#pragma once
// The activity log's rows in the window's read-only text view, one row per line. A run adds rows from its own
// thread: they travel to the window's thread as a queued signal. Rows added on the window's thread show at once, so
// a take-over of "log.txt" sees its own rows when it asks for known ones.

#include <QObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QString>

#include <string>
#include <vector>

#include "job/activity_log.h"

namespace zendrel {

class QtLogView final : public QObject, public LogView {
    Q_OBJECT
public:
    QtLogView();

    // Rows go into `text` from now on; the view is the window's and goes with it.
    void Attach(QPlainTextEdit* text);

    void AppendRow(const std::string& row) override;
    // Asked on the window's thread only (the take-over of "log.txt").
    bool HasRow(const std::string& row) const override;
    void Clear();

signals:
    void rowPosted(const QString& row, const std::string& programRow);

private:
    void ShowRow(const QString& row, const std::string& programRow);

    QPointer<QPlainTextEdit> text_;
    // The rows as the program wrote them, for comparing without a way through Unicode.
    std::vector<std::string> rows_;
};

}  // namespace zendrel
