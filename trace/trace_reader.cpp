// Reading a trace back: each line is checked for the fields its kind must carry, with the kinds
// they must have, before anything is built from it; a trace is a file someone may have edited.
#include <limits>

#include "base/hex_text.h"
#include "base/text.h"
#include "trace/trace_file.h"
#include "trace/trace_names.h"

namespace torvex {

namespace {

// The most disks one listing line may announce.
constexpr std::int64_t kMaxListedDisks = 4096;

// "'key' what", built by appending (concatenating a temporary here trips a false warning of
// GCC 12 about overlapping copies).
std::string About(std::string_view key, std::string_view what) {
    std::string text = "'";
    text.append(key).append("' ").append(what);
    return text;
}

class LineFields {
  public:
    explicit LineFields(const JsonObject& object) : object_(object) {}

    std::string Text(std::string_view key) {
        const JsonValue* value = Find(key, JsonValue::Kind::String, "a string");
        return value != nullptr ? value->text : std::string();
    }
    std::u16string Wide(std::string_view key) { return FromUtf8(Text(key)); }
    std::int64_t Number(std::string_view key, std::int64_t low, std::int64_t high) {
        const JsonValue* value = Find(key, JsonValue::Kind::Number, "a number");
        if (value == nullptr) return 0;
        if (value->number < low || value->number > high) Fail(About(key, "is out of range"));
        return value->number;
    }
    bool Flag(std::string_view key) {
        const JsonValue* value = Find(key, JsonValue::Kind::Bool, "true or false");
        return value != nullptr && value->flag;
    }
    // A flag that is written only when true.
    bool OptionalFlag(std::string_view key) {
        return object_.find(key) != object_.end() && Flag(key);
    }
    std::vector<std::uint8_t> Hex(std::string_view key, std::size_t max_bytes) {
        auto bytes = ParseHexText(Text(key));
        if (!bytes || bytes->size() > max_bytes) {
            Fail(About(key, "is not hex of at most " + std::to_string(max_bytes) + " bytes"));
            return {};
        }
        return *bytes;
    }
    template <typename Enum, std::size_t N>
    Enum Named(std::string_view key,
               const std::array<std::pair<Enum, std::string_view>, N>& table) {
        const std::string name = Text(key);
        if (const auto value = ValueIn(table, name)) return *value;
        Fail(About(key, "has an unknown value"));
        return table[0].first;
    }
    void Fail(std::string what) {
        if (error_.empty()) error_ = std::move(what);
    }
    const std::string& Error() const { return error_; }

  private:
    const JsonValue* Find(std::string_view key, JsonValue::Kind kind, const char* what) {
        const auto found = object_.find(key);
        if (found == object_.end() || found->second.kind != kind) {
            Fail(About(key, std::string("must be ") + what));
            return nullptr;
        }
        return &found->second;
    }
    const JsonObject& object_;
    std::string error_;
};

constexpr std::int64_t kMaxInt32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kMaxTime = std::numeric_limits<std::int64_t>::max();

DiskInterface ReadDisk(LineFields& fields) {
    return {fields.Wide("compatible_ids"), fields.Wide("parent"), fields.Wide("path"),
            fields.Wide("port")};
}

TracedRequest ReadRequest(LineFields& fields) {
    TracedRequest request;
    request.handle = static_cast<DeviceHandle>(fields.Number("handle", -kMaxInt32, kMaxInt32));
    request.cdb = fields.Hex("cdb", kMaxCdbLength);
    if (request.cdb.empty()) fields.Fail("'cdb' is empty");
    request.direction = fields.Named("flag", kDirectionNames);
    request.length = static_cast<std::uint32_t>(fields.Number("length", 0, 1 << 24));
    request.sent_sha256 = fields.Text("sent_sha256");
    request.received = fields.Hex("received", request.length);
    PassThroughResult& result = request.result;
    result.delivered = fields.Flag("delivered");
    result.outcome_unknown = fields.OptionalFlag("outcome_unknown");
    result.scsi_status = static_cast<std::uint8_t>(fields.Number("status", 0, 255));
    result.error = fields.Named("error", kTransportErrorNames);
    const std::vector<std::uint8_t> sense = fields.Hex("sense", kSenseLength);
    std::copy(sense.begin(), sense.end(), result.sense.begin());
    result.sense_length = static_cast<std::uint8_t>(sense.size());
    result.diagnostic = fields.Text("diagnostic");
    request.duration_us = static_cast<std::uint64_t>(fields.Number("us", 0, kMaxTime));
    return request;
}

// One line that starts an item; a "list" line also takes the "disk" lines that follow it.
class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}
    TraceReading Read();

  private:
    bool NextObject(JsonObject& object);
    bool ReadItem(const JsonObject& object);
    bool ReadListing(LineFields& fields, std::uint64_t time_ms);
    bool Fail(const std::string& what) {
        reading_.error = "line " + std::to_string(line_) + ": " + what;
        return false;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t line_ = 0;
    TraceReading reading_;
};

bool Reader::NextObject(JsonObject& object) {
    while (at_ < text_.size()) {
        const std::size_t end = std::min(text_.find('\n', at_), text_.size());
        const std::string_view line = text_.substr(at_, end - at_);
        at_ = end + 1;
        ++line_;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
        JsonParse parsed = ParseJsonObject(line);
        if (!parsed.object) return Fail(parsed.error);
        object = std::move(*parsed.object);
        return true;
    }
    return false;
}

bool Reader::ReadListing(LineFields& fields, std::uint64_t time_ms) {
    DiskListing listing;
    listing.failure = fields.Named("failure", kListingFailureNames);
    const std::int64_t count = fields.Number("disks", 0, kMaxListedDisks);
    if (!fields.Error().empty()) return Fail(fields.Error());
    const std::size_t first_line = line_;
    for (std::int64_t i = 0; i < count; ++i) {
        JsonObject object;
        if (!NextObject(object))
            return reading_.error.empty() ? Fail("a disk line is missing") : false;
        LineFields disk(object);
        if (disk.Text("op") != "disk") return Fail("a disk line is missing");
        listing.disks.push_back(ReadDisk(disk));
        if (!disk.Error().empty()) return Fail(disk.Error());
    }
    reading_.items.push_back({first_line, PlatformRecord{time_ms, std::move(listing)}});
    return true;
}

bool Reader::ReadItem(const JsonObject& object) {
    LineFields fields(object);
    const std::string op = fields.Text("op");
    if (!fields.Error().empty()) return Fail(fields.Error());
    const bool platform = op == "list" || op == "open" || op == "close" || op == "request";
    if (!platform) {
        if (op == "disk") return Fail("a disk line outside a listing");
        reading_.items.push_back({line_, TraceMark{op, object}});
        return true;
    }
    const auto time_ms = static_cast<std::uint64_t>(fields.Number("t", 0, kMaxTime));
    if (op == "list") return ReadListing(fields, time_ms);
    PlatformRecord record{time_ms, TracedClose{}};
    if (op == "open") {
        record.call = TracedOpen{fields.Wide("path"),
                                 static_cast<DeviceHandle>(fields.Number("handle", -1, kMaxInt32)),
                                 fields.Text("error"), fields.Wide("proven")};
    } else if (op == "close") {
        record.call =
            TracedClose{static_cast<DeviceHandle>(fields.Number("handle", -1, kMaxInt32))};
    } else {
        record.call = ReadRequest(fields);
    }
    if (!fields.Error().empty()) return Fail(fields.Error());
    reading_.items.push_back({line_, std::move(record)});
    return true;
}

TraceReading Reader::Read() {
    JsonObject object;
    while (NextObject(object))
        if (!ReadItem(object)) break;
    if (!reading_.error.empty()) reading_.items.clear();
    return std::move(reading_);
}

}  // namespace

TraceReading ReadTrace(std::string_view text) {
    return Reader(text).Read();
}

}  // namespace torvex
