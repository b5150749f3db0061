// Turning the bytes of an uploaded file into an estimate: the one path every
// request of the web server takes, whatever the file is.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "corvanta/corvanta.h"
#include "design/settings.h"
#include "quote/quote.h"

namespace corvanta::server {

// The kinds of input a request may name; "" asks for detection by content.
// "cmd": command records; "hpgl": an HP-GL plot; "svg": an SVG drawing;
// "image": a photo.  "" when the content is none of them.
std::string DetectKind(std::string_view bytes);

// The settings of a request: what a shop charges from the "cost" object
// {"ratePerHour": 60, "currency": "EUR", "setupMinutes": 0, "minimumCharge": 0}
// (or the settings file's "rate", "currency", "setupMinutes", "minimumCharge"),
// and the job settings of designs (the settings file's keys; "penSpeedMmS" as a
// list of sixteen speeds is taken for "penSpeeds").  Returns false and says why
// when the text is not such JSON.
bool ParseSettings(const std::string& settingsJson, quote::CostSettings& cost, design::Settings& design,
                   std::string& why);

struct Upload {
    std::string_view bytes;
    std::string kind;          // "" detects it from the bytes
    std::string settingsJson;  // a JSON object, or empty for the defaults
    Model model = Model::XR7;
    uint32_t jobTickLimit = Options{}.jobTickLimit;
};

struct UploadAnswer {
    int httpStatus = 200;            // 200, or the 4xx that says what was wrong with the upload
    std::string error;               // in words, for people; empty when httpStatus is 200
    std::string kind;                // the kind read
    std::string commands;            // the command records estimated (empty when the upload was itself a command file)
    std::vector<std::string> notes;  // the reader's notes
    std::optional<Result> result;    // the estimate, with its explanation (also set for a job the machine refuses)
    quote::CostSettings cost;
};

// Reads the upload, estimates it with the explanation on, and says what went
// wrong in words: 400 for bad settings or an unknown kind, 415 for a kind this
// build does not read, 422 for a file that cannot be read as its kind or a job
// the machine would refuse or stop early.
UploadAnswer EstimateUpload(const Upload& upload);

// The answer of /api/estimate: the report JSON (corvanta::ReportJson) plus
// "kind", "notes", "cost", "svg", "progressCsv", "timeline", and "commands"
// when the records were made from another kind of file.  `name` titles the picture.
std::string AnswerJson(const UploadAnswer& answer, const std::string& name);

}  // namespace corvanta::server
