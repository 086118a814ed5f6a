#pragma once
#include <QStringList>
#include <array>
#include <optional>
#include <variant>

// One row of the update history: what the tool did to which unit, and how it ended.
namespace history {

// What was done, as kept and shown.
inline constexpr const char* kProgram = "program"; // the erase and the image written after it
inline constexpr const char* kRestart = "restart";
inline constexpr const char* kFailSafeOn = "fail-safe on";
inline constexpr const char* kFailSafeOff = "fail-safe off";

// How it ended, as kept and shown: a row is written "started" and changed once the action ends,
// so one that stays "started" was ended by a crash, a killed program or a lost power supply.
inline constexpr const char* kStarted = "started";
inline constexpr const char* kCompleted = "completed";
inline constexpr const char* kStopped = "stopped"; // by the user or a signal
inline constexpr const char* kFailed = "failed";   // refused or not answered

struct Row {
    qint64 id = 0;
    QString time = {}; // when the action started: UTC, ISO 8601 to the millisecond
    QString program = {}, version = {}, host = {};
    QString serial = {}, path = {}; // the unit; no serial where it tells none
    QString chip = {}; // "local" or "remote"; none for the extender's fail-safe setting
    QString action = {};
    QString setting = {}; // the fail-safe setting byte, in hex
    QString imageFile = {};
    std::optional<qint64> imageBytes = {};
    QString imageSha256 = {};
    QString chipBefore = {};          // what the chip said it was: "QX710 TX 3072.1"
    QString imageIdentification = {}; // what the image says it is for, the same way
    QString outcome = kStarted;
    QString cause = {};                    // stopped: where; failed: which step, and how
    std::optional<qint64> blocks = {};     // acknowledged
    std::optional<qint64> durationMs = {}; // none until it ended
};

// A row's fields by the names the file, the CSV header and the JSON keys give them, in that order.
struct Field {
    const char* name;
    std::variant<QString Row::*, std::optional<qint64> Row::*> member;
};
inline const std::array<Field, 18> kFields{{
    {"time", &Row::time},
    {"program", &Row::program},
    {"version", &Row::version},
    {"host", &Row::host},
    {"serial", &Row::serial},
    {"path", &Row::path},
    {"chip", &Row::chip},
    {"action", &Row::action},
    {"setting", &Row::setting},
    {"image_file", &Row::imageFile},
    {"image_bytes", &Row::imageBytes},
    {"image_sha256", &Row::imageSha256},
    {"chip_before", &Row::chipBefore},
    {"image_identification", &Row::imageIdentification},
    {"outcome", &Row::outcome},
    {"cause", &Row::cause},
    {"blocks", &Row::blocks},
    {"duration_ms", &Row::durationMs},
}};

inline QStringList FieldNames()
{
    QStringList names;
    for (const Field& field : kFields)
        names << field.name;
    return names;
}

} // namespace history
