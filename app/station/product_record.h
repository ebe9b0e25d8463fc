#pragma once
// The record of a production line: every finished product adds one line to a JSON-lines report
// and one to a CSV report in the record folder. Each line is written with a single write() on a
// descriptor opened with O_APPEND and then synced, so a crash loses at most the line being
// written; a reader keeps every complete line and skips a torn last one.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace torvex::station {

struct ProductRecord {
    QDateTime time;  // when the product's run ended (UTC)
    QString port;
    QString serial;
    QString code_before;
    QString ef64_before, ef32_before;  // "version tag name"
    QString ef64_after, ef32_after;
    QString result;  // "PASS" or "FAIL"
    QString detail;  // the runner's ending ("success", "not-supported", ...) or why the run failed
    int exit_status = -1;
    qint64 duration_ms = 0;
    QString trace_file;
};

inline constexpr char kJsonLinesName[] = "station-record.jsonl";
inline constexpr char kCsvName[] = "station-record.csv";

class RecordWriter {
  public:
    explicit RecordWriter(QString folder) : folder_(std::move(folder)) {}
    const QString& Folder() const { return folder_; }
    // Appends the product to both reports (the CSV gets its header when it is new). Returns what
    // went wrong, empty when both lines are on disk.
    QString Append(const ProductRecord& record) const;

  private:
    QString folder_;
};

QByteArray JsonLineOf(const ProductRecord& record);
QByteArray CsvLineOf(const ProductRecord& record);
QByteArray CsvHeader();

// The complete lines of a JSON-lines report, each parsed; a line cut short by a crash is left out.
QList<ProductRecord> ReadJsonLinesRecord(const QString& path);

}  // namespace torvex::station
