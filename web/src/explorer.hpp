// The yield explorer's one entry point: a request from the page (a stand, its
// model and its thinnings, each value as the user typed it) turned into a
// sylvo::TableRequest, run by the engine, and answered with the table as the
// command line prints it (CSV and JSON), or with the value refused.
//
// Built into the WebAssembly module (bindings.cpp) and, for the comparison
// with the Linux library, into a native driver (tests/web/native_run.cpp).
#pragma once

#include <string>
#include <string_view>

namespace sylvo_web {

// REQUEST is a JSON object:
//   {"model": "a", "site": "24", "height": "", "height_age": "", "shift": "",
//    "start_age": "10", "trees": "1800", "ba": "6", "end_age": "35",
//    "interval": "5", "merch_limit": "12", "max_sdi": "",
//    "thinnings": ["20:tph=800:p=20", ...],
//    "regime": "{...}", "regime_name": ""}
// Values are text as typed (or JSON numbers); an empty text or a missing key
// is a value not given (interval and max_sdi then take the command line's
// defaults, 5 years and 1500). "regime" is a regime document as `sylvo table
// --regime` reads it (from a file named regime.json in messages), with
// "regime_name" as --regime-name; it and thinnings exclude each other.
//
// The answer is a JSON object. A table:
//   {"ok": true, "site": 24, "csv": "...", "json": "...",
//    "stop": "the stand is no longer a stand at age ..." or null,
//    "warnings": ["...", ...], "regime_names": [...], "regime": [lines]}
// where csv and json are exactly what `sylvo table --format csv|json` prints.
// A refused value:
//   {"ok": false, "field": "trees", "thinning": 0 (thinnings only, else null),
//    "value": "...", "problem": "...", "accepted": "...",
//    "message": "'...' PROBLEM; accepted: ACCEPTED", "full": "trees_per_ha: ..."}
// A refused regime: field "regime" with "pointer", "line" and "column", and
// message the reader's own "regime.json:LINE:COLUMN: POINTER: ...".
// Otherwise field is the request's key the value came from ("request" when the
// request itself is not a JSON object of this form).
std::string run(std::string_view request);

// The models the page offers, as JSON: [{"id": "a", "name": "Model A",
// "version": 1.0}, ...].
std::string models();

}  // namespace sylvo_web
