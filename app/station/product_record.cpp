#include "app/station/product_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstring>

namespace torvex::station {

namespace {

// One write of the whole line: O_APPEND places it after every earlier line in one piece.
QString AppendLine(const QString& path, const QByteArray& line, const QByteArray& header) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return path + u": "_qs + QString::fromLocal8Bit(std::strerror(errno));
    QByteArray text = line;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    char last = '\n';
    if (size > 0 && ::pread(fd, &last, 1, size - 1) != 1) last = '\n';
    // A line cut short by a crash stays alone on its line, so it cannot swallow this one.
    if (last != '\n') text.prepend('\n');
    if (!header.isEmpty() && size == 0) text.prepend(header);
    const ssize_t written = ::write(fd, text.constData(), static_cast<size_t>(text.size()));
    const int write_errno = errno;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    if (written != text.size())
        return path + u": "_qs +
               (written < 0 ? QString::fromLocal8Bit(std::strerror(write_errno))
                            : u"short write"_qs);
    if (!synced) return path + u": not synced"_qs;
    return {};
}

QString CsvField(QString text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    return u'"' + text.replace(u'"', u"\"\""_qs) + u'"';
}

}  // namespace

QByteArray JsonLineOf(const ProductRecord& record) {
    QJsonObject object;
    object[u"time"] = record.time.toString(Qt::ISODateWithMs);
    object[u"port"] = record.port;
    object[u"serial"] = record.serial;
    object[u"code_before"] = record.code_before;
    object[u"ef64_before"] = record.ef64_before;
    object[u"ef32_0_before"] = record.ef32_before;
    object[u"ef64_after"] = record.ef64_after;
    object[u"ef32_0_after"] = record.ef32_after;
    object[u"result"] = record.result;
    object[u"detail"] = record.detail;
    object[u"exit"] = record.exit_status;
    object[u"duration_ms"] = record.duration_ms;
    object[u"trace"] = record.trace_file;
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray CsvHeader() {
    return "time,port,serial,code_before,ef64_before,ef32_0_before,ef64_after,ef32_0_after,"
           "result,detail,exit,duration_ms,trace\r\n";
}

QByteArray CsvLineOf(const ProductRecord& record) {
    const QStringList fields = {record.time.toString(Qt::ISODateWithMs),
                                record.port,
                                record.serial,
                                record.code_before,
                                record.ef64_before,
                                record.ef32_before,
                                record.ef64_after,
                                record.ef32_after,
                                record.result,
                                record.detail,
                                QString::number(record.exit_status),
                                QString::number(record.duration_ms),
                                record.trace_file};
    QStringList shown;
    for (const QString& field : fields) shown << CsvField(field);
    return shown.join(u',').toUtf8() + "\r\n";
}

QString RecordWriter::Append(const ProductRecord& record) const {
    if (!QDir().mkpath(folder_)) return folder_ + u": cannot be created"_qs;
    const QString json = AppendLine(QDir(folder_).filePath(kJsonLinesName), JsonLineOf(record), {});
    const QString csv =
        AppendLine(QDir(folder_).filePath(kCsvName), CsvLineOf(record), CsvHeader());
    return json.isEmpty() ? csv : json;
}

QList<ProductRecord> ReadJsonLinesRecord(const QString& path) {
    QFile file(path);
    QList<ProductRecord> records;
    if (!file.open(QIODevice::ReadOnly)) return records;
    const QByteArray text = file.readAll();
    for (qsizetype start = 0, end; (end = text.indexOf('\n', start)) >= 0; start = end + 1) {
        const QJsonDocument document = QJsonDocument::fromJson(text.mid(start, end - start));
        if (!document.isObject()) continue;
        const QJsonObject o = document.object();
        ProductRecord r;
        r.time = QDateTime::fromString(o.value(u"time").toString(), Qt::ISODateWithMs);
        r.port = o.value(u"port").toString();
        r.serial = o.value(u"serial").toString();
        r.code_before = o.value(u"code_before").toString();
        r.ef64_before = o.value(u"ef64_before").toString();
        r.ef32_before = o.value(u"ef32_0_before").toString();
        r.ef64_after = o.value(u"ef64_after").toString();
        r.ef32_after = o.value(u"ef32_0_after").toString();
        r.result = o.value(u"result").toString();
        r.detail = o.value(u"detail").toString();
        r.exit_status = o.value(u"exit").toInt(-1);
        r.duration_ms = o.value(u"duration_ms").toInteger();
        r.trace_file = o.value(u"trace").toString();
        records << r;
    }
    return records;
}

}  // namespace torvex::station
