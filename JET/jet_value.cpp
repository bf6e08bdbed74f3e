#include "jet_value.h"

#include <cmath>
#include <cstdio>

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date, and back
// (H. Hinnant's civil-calendar algorithms).
int64_t days_from_civil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civil_from_days(int64_t z, int32_t& y, int32_t& m, int32_t& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int32_t>(yoe + era * 400 + (m <= 2));
}

const int64_t k_epoch_1899 = days_from_civil(1899, 12, 30);
constexpr int64_t k_ms_per_day = 86400000;

// Divides the 128-bit magnitude held in four 32-bit words (most
// significant first) by 10, returning the remainder.
uint32_t div10(uint32_t (&w)[4])
{
    uint64_t rem = 0;
    for (uint32_t& x : w) {
        uint64_t cur = (rem << 32) | x;
        x = static_cast<uint32_t>(cur / 10);
        rem = cur % 10;
    }
    return static_cast<uint32_t>(rem);
}

std::string scaled_text(bool negative, uint32_t (&w)[4], int scale)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + div10(w)));
    } while (w[0] | w[1] | w[2] | w[3]);
    while (static_cast<int>(digits.size()) <= scale) digits.insert(digits.begin(), '0');
    if (scale > 0) digits.insert(digits.end() - scale, '.');
    bool zero = digits.find_first_not_of("0.") == std::string::npos;
    return (negative && !zero ? "-" : "") + digits;
}

// Digits p[0..n) as a number; false for anything but digits.
bool ascii_number(const uint8_t* p, size_t n, int64_t& out)
{
    out = 0;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9') return false;
        out = out * 10 + (p[i] - '0');
    }
    return true;
}

}  // namespace

bool jet_split_date(double number, jet_date_parts& out)
{
    // Years 1..9999 cover everything Access can store.
    if (!std::isfinite(number) || number < -693593.0 || number > 2958466.0) return false;
    double whole = std::trunc(number);
    int64_t days = static_cast<int64_t>(whole);
    int64_t ms = std::llround(std::fabs(number - whole) * k_ms_per_day);
    if (ms >= k_ms_per_day) {
        // The time rounds up to the next midnight: the next day along the
        // time's direction, which is forward for any sign of the number.
        ms -= k_ms_per_day;
        days += 1;
    }
    int64_t civil = k_epoch_1899 + days;
    civil_from_days(civil, out.year, out.month, out.day);
    out.hour = static_cast<int32_t>(ms / 3600000);
    out.minute = static_cast<int32_t>(ms / 60000 % 60);
    out.second = static_cast<int32_t>(ms / 1000 % 60);
    out.millisecond = static_cast<int32_t>(ms % 1000);
    out.day_of_week = static_cast<int32_t>(((civil % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    return true;
}

double jet_join_date(const jet_date_parts& p)
{
    int64_t days = days_from_civil(p.year, p.month, p.day) - k_epoch_1899;
    double frac = (p.hour * 3600000.0 + p.minute * 60000.0 + p.second * 1000.0 + p.millisecond) / k_ms_per_day;
    return days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
}

std::u16string jet_guid_text(const uint8_t* b)
{
    static const int k_order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    static const char16_t k_hex[] = u"0123456789ABCDEF";
    std::u16string out = u"{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += u'-';
        uint8_t v = b[k_order[i]];
        out += k_hex[v >> 4];
        out += k_hex[v & 15];
    }
    out += u'}';
    return out;
}

std::string jet_decimal_text(const jet_decimal& v)
{
    uint32_t w[4] = {0, v.hi, static_cast<uint32_t>(v.lo >> 32), static_cast<uint32_t>(v.lo)};
    return scaled_text(v.negative, w, v.scale);
}

std::string jet_currency_text(int64_t scaled)
{
    bool negative = scaled < 0;
    uint64_t mag = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    uint32_t w[4] = {0, 0, static_cast<uint32_t>(mag >> 32), static_cast<uint32_t>(mag)};
    return scaled_text(negative, w, 4);
}

bool jet_extended_date(const uint8_t* p, size_t n, double& out, uint32_t& ticks)
{
    ticks = 0;
    int64_t days = 0;
    int64_t seconds = 0;
    if (n < 32 || p[19] != ':' || !ascii_number(p, 19, days) || !ascii_number(p + 20, 12, seconds) || days > 3652058 ||
        seconds >= 86400)
        return false;
    jet_date_parts parts;
    if (!jet_split_date(static_cast<double>(days - 693593), parts)) return false;
    parts.hour = static_cast<int32_t>(seconds / 3600);
    parts.minute = static_cast<int32_t>(seconds / 60 % 60);
    parts.second = static_cast<int32_t>(seconds % 60);
    parts.millisecond = 0;
    out = jet_join_date(parts);
    int64_t fraction = 0;
    if (n >= 39) {
        if (!ascii_number(p + 32, 7, fraction)) return false;
        ticks = static_cast<uint32_t>(fraction);
    }
    return true;
}

bool jet_calculated_decimal(const uint8_t* p, size_t n, jet_decimal& out)
{
    if (n < 4) return false;
    size_t len = static_cast<size_t>(p[0] | (p[1] << 8));
    size_t bytes = (len > 0 ? len : n - 2);
    if (bytes < 2) return false;
    bytes = (bytes - 2) / 4 * 4;
    if (bytes > 16) bytes = 16;
    if (bytes > n - 4) return false;
    out = jet_decimal{};
    out.scale = p[2];
    out.negative = p[3] != 0;
    if (out.scale > 28) return false;
    // The magnitude as one 128-bit number in two halves.
    uint64_t high = 0, low = 0;
    const uint8_t* q = p + 4;
    auto push = [&](uint64_t word, int bits) {
        high = bits == 64 ? low : (high << bits) | (low >> (64 - bits));
        low = bits == 64 ? word : (low << bits) | word;
    };
    size_t pos = 0;
    if (bytes % 8 != 0) {
        uint64_t w = 0;
        for (int k = 3; k >= 0; --k) w = (w << 8) | q[k];
        push(w, 32);
        pos = 4;
    }
    for (; pos < bytes; pos += 8) {
        uint64_t w = 0;
        for (int k = 7; k >= 0; --k) w = (w << 8) | q[pos + k];
        push(w, 64);
    }
    if (high >> 32 != 0) return false;
    out.hi = static_cast<uint32_t>(high);
    out.lo = low;
    return true;
}
