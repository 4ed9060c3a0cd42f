#pragma once
// One stored setting value: its type code, its converted number and the text it was accepted with
// (which is what a settings file gets back).
#include <cstdint>
#include <string>

namespace settings_impl {

enum ValueType : int32_t { Untyped = 100, String = 101, Integer = 102, Boolean = 103, Real = 104 };

class ConfigValue {
public:
    // The text must be well-formed UTF-8 (else settings::Exception 302); Integer, Boolean and Real
    // are converted from it (302 when unreadable); an unknown type: std::runtime_error "unexpected".
    static ConfigValue fromText(int32_t type, const std::string& text);
    // Number values. Without a text the text is generated: decimal, "true"/"false", or the default
    // stream formatting of a double (six significant digits).
    static ConfigValue fromInteger(int32_t value, const std::string* text = nullptr);
    static ConfigValue fromBoolean(bool value, const std::string* text = nullptr);
    static ConfigValue fromReal(double value, const std::string* text = nullptr);

    int32_t type() const { return valueType; }
    const std::string& text() const { return valueText; }
    // Meaningful only for the matching type.
    int32_t integer() const { return number.i; }
    bool boolean() const { return number.b; }
    double real() const { return number.d; }

private:
    ConfigValue(int32_t type, std::string text) : valueType(type), valueText(std::move(text)) { number.d = 0; }
    int32_t valueType;
    union {
        int32_t i;
        bool b;
        double d;
    } number;
    std::string valueText;
};

// Conversions of value texts; each raises settings::Exception 302 when nothing can be read.
// Integers: leading space, tab, LF and VT skipped, ASCII lower-cased, "0x"/"-0x" hexadecimal,
// "0"/"-0" octal, else decimal; characters after the number are ignored.
int32_t parseInteger(const std::string& text);
// "yes"/"true" and "no"/"false" in any case, else parseInteger(text) != 0.
bool parseBoolean(const std::string& text);
// Decimal notation with optional sign, fraction and exponent; prefixes mean nothing ("0x1A" is 0).
double parseReal(const std::string& text);

}  // namespace settings_impl
