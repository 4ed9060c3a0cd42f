#include "settings/config_value.h"

#include <sstream>
#include <stdexcept>

#include "settings/exception.h"
#include "settings/utf8.h"

namespace settings_impl {

namespace {

using settings::Exception;
namespace status = settings::status;

std::string asciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string prepareNumber(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\n\v");
    return asciiLower(first == std::string::npos ? std::string() : text.substr(first));
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

void requireUtf8(const std::string& text) {
    if (!isWellFormedUtf8(text)) throw Exception(status::BadValueText, "value text is not UTF-8");
}

}  // namespace

int32_t parseInteger(const std::string& text) {
    const std::string prepared = prepareNumber(text);
    std::istringstream in(prepared);
    if (startsWith(prepared, "0x") || startsWith(prepared, "-0x")) {
        in >> std::hex;
    } else if (startsWith(prepared, "0") || startsWith(prepared, "-0")) {
        in >> std::oct;
    }
    int32_t value = 0;
    in >> value;
    if (in.fail()) throw Exception(status::BadValueText, "not a 32-bit integer: " + text);
    return value;
}

bool parseBoolean(const std::string& text) {
    const std::string lowered = asciiLower(text);
    if (lowered == "yes" || lowered == "true") return true;
    if (lowered == "no" || lowered == "false") return false;
    return parseInteger(text) != 0;
}

double parseReal(const std::string& text) {
    std::istringstream in(prepareNumber(text));
    double value = 0;
    in >> value;
    if (in.fail()) throw Exception(status::BadValueText, "not a number: " + text);
    return value;
}

ConfigValue ConfigValue::fromText(int32_t type, const std::string& text) {
    requireUtf8(text);
    ConfigValue value(type, text);
    switch (type) {
        case Untyped:
        case String: break;
        case Integer: value.number.i = parseInteger(text); break;
        case Boolean: value.number.b = parseBoolean(text); break;
        case Real: value.number.d = parseReal(text); break;
        default: throw std::runtime_error("unexpected");
    }
    return value;
}

ConfigValue ConfigValue::fromInteger(int32_t number, const std::string* text) {
    if (text) requireUtf8(*text);
    ConfigValue value(Integer, text ? *text : std::to_string(number));
    value.number.i = number;
    return value;
}

ConfigValue ConfigValue::fromBoolean(bool number, const std::string* text) {
    if (text) requireUtf8(*text);
    ConfigValue value(Boolean, text ? *text : std::string(number ? "true" : "false"));
    value.number.b = number;
    return value;
}

ConfigValue ConfigValue::fromReal(double number, const std::string* text) {
    if (text) requireUtf8(*text);
    std::string generated;
    if (!text) {
        std::ostringstream out;
        out << number;
        generated = out.str();
    }
    ConfigValue value(Real, text ? *text : generated);
    value.number.d = number;
    return value;
}

}  // namespace settings_impl
