// The pieces of the page that are text handling only.
#pragma once
#include <string>
#include <vector>

namespace sim::report {

std::string base64(const std::string& bytes);
std::string jsonString(const std::string& s);
// A JSON text made safe inside <script>: no "</" can end the element.
std::string scriptSafe(const std::string& json);
// The log's lines: 8-bit text (ISO 8859-1) with CR LF or LF line ends, as
// UTF-8 without the line ends.
std::vector<std::string> logLines(const std::string& bytes);

extern const char* const PAGE_STYLE;
extern const char* const PAGE_SCRIPT;

}  // namespace sim::report
