#include "app/qt/file_open_dialog.h"

#include <QFileDialog>

namespace torvex::qt {

namespace {

// "*.*" matches every name there; a pattern with letters matches them in either case.
QStringList QtPatterns(QStringView patterns) {
    QStringList result;
    for (QStringView pattern : patterns.split(u';', Qt::SkipEmptyParts)) {
        pattern = pattern.trimmed();
        if (pattern == u"*.*") {
            result.append(QStringLiteral("*"));
            continue;
        }
        for (const QString& variant :
             {pattern.toString(), pattern.toString().toLower(), pattern.toString().toUpper()}) {
            if (!result.contains(variant)) result.append(variant);
        }
    }
    return result;
}

}  // namespace

QStringList ToQtNameFilters(QStringView platform_filter) {
    const QList<QStringView> parts = platform_filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;  // "||" ends the list
        filters.append(parts[i].toString() + QStringLiteral(" (") +
                       QtPatterns(parts[i + 1]).join(u' ') + u')');
    }
    return filters;
}

QString ToQtDefaultSuffix(QStringView default_extension) {
    QStringView extension = default_extension.left(default_extension.indexOf(u'|'));
    while (extension.startsWith(u'.')) extension = extension.mid(1);
    return extension.toString();
}

std::optional<QString> RunFileOpenDialog(QWidget* owner, const FileOpenRequest& request) {
    QFileDialog dialog(owner, QStringLiteral("Open"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The original does not insist that the file exists; the path is only shown, never read.
    dialog.setFileMode(QFileDialog::AnyFile);
    // Show the labels as they are written ("Image file(*.BINX)"), not the widened patterns.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(ToQtNameFilters(request.filter));
    dialog.setDefaultSuffix(ToQtDefaultSuffix(request.default_extension));
    dialog.selectFile(request.initial_name);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first();
}

}  // namespace torvex::qt
