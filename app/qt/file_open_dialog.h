#pragma once
// The file-open dialogs of Browse and the hidden second Browse. The request keeps the settings in
// the platform notation the tool was written with ("label|patterns|...||", ".ext|"); the default
// runner turns them into a Qt file dialog. Tests substitute their own runner and answer without a
// real dialog.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <optional>

class QWidget;

namespace torvex::qt {

struct FileOpenRequest {
    QString default_extension;  // e.g. ".binx|"
    QString initial_name;       // e.g. "*.binx"
    QString filter;             // e.g. "Image file(*.BINX)|*.BINX|All files(*.*)|*.*||"
};

// Runs the dialog modally over the owner; the chosen full path, or nothing when cancelled.
using FileOpenRunner =
    std::function<std::optional<QString>(QWidget* owner, const FileOpenRequest& request)>;

// Qt name filters for a platform filter: each "label|patterns" pair becomes
// "label (patterns)", where patterns match as the platform matches them: without regard to case,
// and "*.*" matching every name.
QStringList ToQtNameFilters(QStringView platform_filter);

// The suffix Qt appends to a name typed without one: the extension without its dot, up to the
// first '|'.
QString ToQtDefaultSuffix(QStringView default_extension);

// The default runner: a modal QFileDialog that accepts any typed name, as the original does.
std::optional<QString> RunFileOpenDialog(QWidget* owner, const FileOpenRequest& request);

}  // namespace torvex::qt
