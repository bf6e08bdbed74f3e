#include "ora_type.h"

#include <cerrno>
#include <cstdlib>

#include "ora_engine.h"
#include "ora_type_map.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_ftd.h"

namespace {

template <class T>
T param_attr(OCIParam* param, ub4 attribute)
{
    ora_engine& engine = ora_engine::instance();
    T value{};
    ub4 size = 0;
    engine.check(engine.oci().OCIAttrGet(param, OCI_DTYPE_PARAM, &value, &size, attribute, engine.err()));
    return value;
}

std::u16string param_name(OCIParam* param)
{
    ora_engine& engine = ora_engine::instance();
    OraText* text = nullptr;
    ub4 bytes = 0;
    engine.check(engine.oci().OCIAttrGet(param, OCI_DTYPE_PARAM, &text, &bytes, OCI_ATTR_NAME, engine.err()));
    if (text == nullptr) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text), bytes / sizeof(char16_t));
}

// Text of a NUMBER as the server prints it (".5", "-.5") made readable by
// the value type, which wants a digit before the point.
std::u16string with_leading_zero(std::u16string_view text)
{
    std::u16string t(text);
    size_t at = !t.empty() && t[0] == u'-' ? 1 : 0;
    if (at < t.size() && t[at] == u'.') t.insert(at, u"0");
    return t;
}

}  // namespace

ora_type::ora_type(OCIParam* param, ub2 code)
    : name(param_name(param)), nullable(param_attr<ub1>(param, OCI_ATTR_IS_NULL) != 0),
      size(param_attr<ub2>(param, OCI_ATTR_DATA_SIZE)), type_code(static_cast<uint8_t>(code))
{}

ora_type::~ora_type() = default;

ole_vartype ora_type::get_vartype() const
{
    switch (type_code) {
    case 2:
    case 4:
    case 6:
    case 7: return VT_R8;
    case 3: return VT_I4;
    case 12:
    case 180:
    case 187:
    case 188:
    case 231:
    case 232: return VT_DATE;
    case 23:
    case 24:
    case 113:
    case 114: return VT_BLOB;
    default: return VT_BSTR;
    }
}

std::unique_ptr<t_ftd> ora_type::get_ftd() const
{
    return std::make_unique<t_ftd>(size, name, get_vartype(), !nullable, false, ole_variant(), 0);
}

void ora_type::define_buffer(OCIStmt* stmt, ub4 position, void* buffer, sb4 bytes, ub2 type, ub2* length)
{
    ora_engine& engine = ora_engine::instance();
    engine.check(engine.oci().OCIDefineByPos(stmt, &define_handle, engine.err(), position, buffer, bytes, type,
                                             &indicator, length, nullptr, OCI_DEFAULT));
}

std::unique_ptr<ora_type> ora_make_type(OCIParam* param)
{
    ub2 code = param_attr<ub2>(param, OCI_ATTR_DATA_TYPE);
    tk_trace(1, "ora_query_results::gen_co_by_type(%d)", code);
    switch (code) {
    case 1:
    case 5:
    case 96: return std::make_unique<ora_string>(param, code);
    case 2:
    case 3:
    case 4:
    case 6:
    case 7: return std::make_unique<ora_number>(param, code);
    case 8:
    case 24: return std::make_unique<ora_str_repr>(param, code, 1000000);
    case 11:
    case 104:
    case 105: return std::make_unique<ora_str_repr>(param, code, 255);
    case 182:
    case 189:
    case 190: return std::make_unique<ora_str_repr>(param, code, 64);
    case 12:
    case 180:
    case 187:
    case 188:
    case 231:
    case 232: return std::make_unique<ora_date>(param, code);
    case 23: return std::make_unique<ora_binary>(param, code);
    case 112:
    case 113: return std::make_unique<ora_lob>(param, code);
    default: return std::make_unique<ora_dummy>(param, code);
    }
}

// ---------------------------------------------------------------- ora_string

ora_string::ora_string(OCIParam* param, ub2 code) : ora_type(param, code), buffer_(size + 1u, u'\0') {}

void ora_string::define(OCIStmt* stmt, ub4 position)
{
    define_buffer(stmt, position, buffer_.data(), static_cast<sb4>(buffer_.size() * sizeof(char16_t)), SQLT_STR,
                  nullptr);
}

ole_variant ora_string::to_variant()
{
    return ole_variant(std::u16string_view(buffer_.c_str()));
}

// ---------------------------------------------------------------- ora_number

ora_number::ora_number(OCIParam* param, ub2 code) : ora_type(param, code), buffer_(255, u'\0')
{
    precision_ = param_attr<sb2>(param, OCI_ATTR_PRECISION);
    scale_ = param_attr<sb1>(param, OCI_ATTR_SCALE);
    if (scale_ < 0) scale_ = 0;
    if (code == SQLT_NUM)
        kind_ = ora_refine_number(precision_, scale_);
    else
        kind_ = ora_type::get_vartype();
}

std::unique_ptr<t_ftd> ora_number::get_ftd() const
{
    auto f = ora_type::get_ftd();
    f->extra = static_cast<uint32_t>(precision_) * 256u + static_cast<uint32_t>(scale_);
    return f;
}

void ora_number::define(OCIStmt* stmt, ub4 position)
{
    define_buffer(stmt, position, buffer_.data(), static_cast<sb4>(buffer_.size() * sizeof(char16_t)), SQLT_STR,
                  nullptr);
}

ole_variant ora_number::from_text(std::u16string_view text, ole_vartype kind)
{
    std::u16string t = with_leading_zero(text);
    std::string n = tk_to_utf8(t);
    ole_variant v;
    if (kind == VT_I1 || kind == VT_I2 || kind == VT_I4 || kind == VT_I8) {
        errno = 0;
        char* end = nullptr;
        long long x = std::strtoll(n.c_str(), &end, 10);
        if (errno == 0 && end != nullptr && *end == '\0') {
            if (kind == VT_I1 && x >= -128 && x <= 127) return ole_variant(static_cast<signed char>(x));
            if (kind == VT_I2 && x >= -32768 && x <= 32767) return ole_variant(static_cast<short>(x));
            if (kind == VT_I4 && x >= INT32_MIN && x <= INT32_MAX) return ole_variant(static_cast<int>(x));
            return ole_variant(x);
        }
        kind = VT_DECIMAL;
    }
    if (kind == VT_DECIMAL) {
        v.from_wstring(t, VT_DECIMAL);
        if (!v.is_empty()) return v;
    }
    v.from_wstring(t, VT_R8);
    return v;
}

ole_variant ora_number::to_variant()
{
    return from_text(buffer_.c_str(), kind_);
}

// ---------------------------------------------------------------- ora_str_repr

ora_str_repr::ora_str_repr(OCIParam* param, ub2 code, uint32_t characters)
    : ora_type(param, code), buffer_(characters + 1u, u'\0')
{
    size = characters;
}

void ora_str_repr::define(OCIStmt* stmt, ub4 position)
{
    define_buffer(stmt, position, buffer_.data(), static_cast<sb4>(buffer_.size() * sizeof(char16_t)), SQLT_STR,
                  nullptr);
}

ole_variant ora_str_repr::to_variant()
{
    if (type_code == SQLT_LBI) {
        ole_variant v;
        v.from_wstring(u"0x" + std::u16string(buffer_.c_str()), VT_BLOB);
        return v;
    }
    return ole_variant(std::u16string_view(buffer_.c_str()));
}

// ---------------------------------------------------------------- ora_date

ora_date::ora_date(OCIParam* param, ub2 code) : ora_type(param, code)
{
    size = 7;
}

void ora_date::define(OCIStmt* stmt, ub4 position)
{
    define_buffer(stmt, position, buffer_, sizeof buffer_, SQLT_DAT, nullptr);
}

ole_systemtime ora_date::decode(const uint8_t (&b)[7])
{
    ole_systemtime st;
    int century = b[0] > 100 ? b[0] - 100 : 100 - b[0];
    int year = b[1] > 100 ? b[1] - 100 : 100 - b[1];
    st.year = static_cast<uint16_t>(century * 100 + year);
    st.month = b[2];
    st.day = b[3];
    st.hour = static_cast<uint16_t>(b[4] == 0 ? 0 : b[4] - 1);
    st.minute = static_cast<uint16_t>(b[5] == 0 ? 0 : b[5] - 1);
    st.second = static_cast<uint16_t>(b[6] == 0 ? 0 : b[6] - 1);
    return st;
}

ole_variant ora_date::to_variant()
{
    ole_systemtime st = decode(buffer_);
    tk_trace(1, "Got datetime: %02d/%02d/%04d %02d:%02d:%02d", st.month, st.day, st.year, st.hour, st.minute,
             st.second);
    return ole_variant(st);
}

// ---------------------------------------------------------------- ora_binary

ora_binary::ora_binary(OCIParam* param, ub2 code) : ora_type(param, code), buffer_(size > 0 ? size : 1) {}

void ora_binary::define(OCIStmt* stmt, ub4 position)
{
    define_buffer(stmt, position, buffer_.data(), static_cast<sb4>(buffer_.size()), SQLT_BIN, &length_);
}

ole_variant ora_binary::to_variant()
{
    return ole_variant(static_cast<size_t>(length_), buffer_.data());
}

// ---------------------------------------------------------------- ora_lob

ora_lob::ora_lob(OCIParam* param, ub2 code) : ora_type(param, code)
{
    ora_engine& engine = ora_engine::instance();
    engine.check(
        engine.oci().OCIDescriptorAlloc(engine.env(), reinterpret_cast<void**>(&locator_), OCI_DTYPE_LOB, 0, nullptr));
}

ora_lob::~ora_lob()
{
    ora_engine* engine = ora_engine::instance_ptr();
    if (locator_ != nullptr && engine != nullptr) engine->oci().OCIDescriptorFree(locator_, OCI_DTYPE_LOB);
}

std::unique_ptr<t_ftd> ora_lob::get_ftd() const
{
    auto f = ora_type::get_ftd();
    f->size = 0;  // unlimited: a LOB column
    return f;
}

void ora_lob::define(OCIStmt* stmt, ub4 position)
{
    ora_engine& engine = ora_engine::instance();
    engine.check(engine.oci().OCIDefineByPos(stmt, &define_handle, engine.err(), position, &locator_, -1, type_code,
                                             &indicator, nullptr, nullptr, OCI_DEFAULT));
}

ub4 ora_lob::read_lob(ub4 offset, void* buffer, ub4 amount)
{
    tk_trace(1, "ora_lob::read_lob(%d,%d)", offset, amount);
    ora_engine& engine = ora_engine::instance();
    ub1 form = SQLCS_IMPLICIT;
    ub2 csid = 0;
    ub4 buffer_bytes = amount;
    if (type_code == SQLT_CLOB) {
        engine.check(engine.oci().OCILobCharSetForm(engine.env(), engine.err(), locator_, &form));
        tk_trace(1, "Got charset form: %d", form);
        csid = OCI_UTF16ID;
        buffer_bytes = amount * 2;
    }
    ub4 amt = amount;
    sword rc = engine.oci().OCILobRead(engine.svc(), engine.err(), locator_, &amt, offset, buffer, buffer_bytes,
                                       nullptr, nullptr, csid, form);
    engine.check(rc);
    return rc == OCI_NO_DATA ? 0 : amt;
}

ole_variant ora_lob::to_variant()
{
    constexpr ub4 piece = 32768;
    if (type_code == SQLT_CLOB) {
        std::u16string text;
        std::u16string buffer(piece, u'\0');
        for (ub4 offset = 1;;) {
            ub4 n = read_lob(offset, buffer.data(), piece);
            if (n == 0) break;
            text.append(buffer.data(), n);
            offset += n;
        }
        ole_variant v;
        v.take_wstring(std::move(text));
        return v;
    }
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> buffer(piece);
    for (ub4 offset = 1;;) {
        ub4 n = read_lob(offset, buffer.data(), piece);
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + n);
        offset += n;
    }
    ole_variant v;
    v.take_binary(std::move(bytes));
    return v;
}

// ---------------------------------------------------------------- ora_dummy

ora_dummy::ora_dummy(OCIParam* param, ub2 code) : ora_type(param, code) {}

void ora_dummy::define(OCIStmt*, ub4) {}

ole_variant ora_dummy::to_variant()
{
    return ole_variant(u"<unsupported type>");
}
