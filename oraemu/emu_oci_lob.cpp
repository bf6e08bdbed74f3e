// LOB reading and writing through locators.
//
// Units: CLOB offsets and lengths count UTF-16 code units (a character
// outside the BMP counts two), BLOB ones bytes; OCI offsets are 1-based.
// A CLOB amount counts characters when the buffer's character set has a
// fixed width (UTF-16, single-byte sets) and bytes when it varies (UTF-8),
// where a read takes characters in and gives bytes out.
#include <algorithm>
#include <cstring>

#include "emu_oci_handles.h"

using namespace emu_oci;

namespace {

enum class buffer_set { utf16, utf8, single_byte };

buffer_set buffer_charset(const OCIEnv* env, ub2 csid)
{
    if (csid == 0) return env->utf16 ? buffer_set::utf16 : buffer_set::utf8;
    if (csid == OCI_UTF16ID || csid == 2000 || csid == 2002) return buffer_set::utf16;
    if (csid == ORA_CHARSET_AL32UTF8 || csid == 871) return buffer_set::utf8;
    return buffer_set::single_byte;
}

bool is_blob(const OCILobLocator* loc)
{
    return loc->type == emu::col_type::blob;
}

// The session a LOB call runs in.
emu::session* session_of(OCISvcCtx* svc)
{
    svc = as<OCISvcCtx>(svc, OCI_HTYPE_SVCCTX);
    return svc != nullptr ? svc->session.get() : nullptr;
}

uint64_t lob_length(emu::session& ses, const OCILobLocator* loc)
{
    if (loc->ref) return ses.lob_length(*loc->ref);
    return is_blob(loc) ? loc->temp_bytes.size() : loc->temp_text.size();
}

// ---------------------------------------------------------------- writing

// Decodes `bytes` of a client buffer into UTF-16 units.
std::u16string decode(buffer_set set, const unsigned char* buf, size_t bytes)
{
    switch (set) {
    case buffer_set::utf16:
        return std::u16string(reinterpret_cast<const char16_t*>(buf), bytes / 2);
    case buffer_set::utf8:
        return utf8_to_utf16(std::string_view(reinterpret_cast<const char*>(buf), bytes));
    case buffer_set::single_byte: break;
    }
    std::u16string out;
    for (size_t i = 0; i < bytes; ++i) out += static_cast<char16_t>(buf[i]);
    return out;
}

// Bytes of the client buffer that `amount` stands for.
size_t amount_bytes(const OCILobLocator* loc, buffer_set set, uint64_t amount)
{
    if (is_blob(loc) || set != buffer_set::utf16) return amount;
    return amount * 2;
}

// Writes one piece at unit position `pos`; returns the units written.
uint64_t write_piece(emu::session& ses, OCILobLocator* loc, buffer_set set, uint64_t pos,
                     const unsigned char* buf, size_t bytes)
{
    if (is_blob(loc)) {
        std::string_view data(reinterpret_cast<const char*>(buf), bytes);
        if (loc->ref) {
            ses.blob_write(*loc->ref, pos, data);
        } else {
            if (loc->temp_bytes.size() < pos + bytes) loc->temp_bytes.resize(pos + bytes, '\0');
            loc->temp_bytes.replace(pos, bytes, data);
        }
        return bytes;
    }
    std::u16string text = decode(set, buf, bytes);
    if (loc->ref) {
        ses.clob_write(*loc->ref, pos, text);
    } else {
        if (loc->temp_text.size() < pos + text.size())
            loc->temp_text.resize(pos + text.size(), u' ');
        loc->temp_text.replace(pos, text.size(), text);
    }
    return text.size();
}

sword lob_write(emu::session& ses, OCIError* err, OCILobLocator* loc, ub4* amtp, ub4 offset,
                void* bufp, ub4 buflen, ub1 piece, void* ctxp, OCICallbackLobWrite cbfp,
                ub2 csid)
{
    buffer_set set = buffer_charset(loc->env, csid);
    auto* buf = static_cast<unsigned char*>(bufp);
    if (piece == OCI_ONE_PIECE) {
        if (offset < 1 || amtp == nullptr) return fail(err, 24801);
        size_t bytes = *amtp == 0 ? buflen : amount_bytes(loc, set, *amtp);
        if (bytes > buflen || (bytes > 0 && buf == nullptr)) return fail(err, 24811);
        write_piece(ses, loc, set, offset - 1, buf, bytes);
        if (*amtp == 0) *amtp = set == buffer_set::utf16 && !is_blob(loc) ? buflen / 2 : buflen;
        loc->streaming = false;
        return OCI_SUCCESS;
    }
    if (piece == OCI_FIRST_PIECE) {
        if (offset < 1) return fail(err, 24801);
        loc->streaming = true;
        loc->stream_pos = offset - 1;
        loc->stream_total = 0;
    } else if (!loc->streaming) {
        return fail(err, 24801);
    }
    // With a callback, OCI asks it for every further piece itself.
    for (;;) {
        uint64_t n = write_piece(ses, loc, set, loc->stream_pos, buf, buflen);
        loc->stream_pos += n;
        loc->stream_total += set == buffer_set::utf8 && !is_blob(loc) ? buflen : n;
        if (piece == OCI_LAST_PIECE) break;
        if (cbfp == nullptr) return OCI_NEED_DATA;
        ub4 len = buflen;
        if (cbfp(ctxp, bufp, &len, &piece) != OCI_CONTINUE) {
            loc->streaming = false;
            return fail(err, 24343);
        }
        buflen = len;
    }
    loc->streaming = false;
    if (amtp != nullptr) *amtp = static_cast<ub4>(loc->stream_total);
    return OCI_SUCCESS;
}

// ---------------------------------------------------------------- reading

// Reads units [pos, pos + n) in the client form of the buffer.
std::string read_units(emu::session& ses, const OCILobLocator* loc, buffer_set set, uint64_t pos,
                       uint64_t n)
{
    if (is_blob(loc)) {
        if (loc->ref) return ses.blob_read(*loc->ref, pos, n);
        return pos < loc->temp_bytes.size() ? loc->temp_bytes.substr(pos, n) : std::string();
    }
    std::u16string text = loc->ref ? ses.clob_read(*loc->ref, pos, n)
                                   : (pos < loc->temp_text.size() ? loc->temp_text.substr(pos, n)
                                                                  : std::u16string());
    switch (set) {
    case buffer_set::utf16:
        return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    case buffer_set::utf8: return utf16_to_utf8(text);
    case buffer_set::single_byte: break;
    }
    std::string out;
    for (char16_t c : text) out += c < 0x100 ? static_cast<char>(c) : '?';
    return out;
}

// How many units from `pos` fit into `bufl` bytes, at most `limit`.
uint64_t units_fitting(emu::session& ses, const OCILobLocator* loc, buffer_set set, uint64_t pos,
                       uint64_t limit, size_t bufl)
{
    if (is_blob(loc) || set == buffer_set::single_byte) return std::min<uint64_t>(limit, bufl);
    if (set == buffer_set::utf16) return std::min<uint64_t>(limit, bufl / 2);
    // UTF-8: grow while the encoded text fits, never splitting a pair.
    std::u16string text = loc->ref ? ses.clob_read(*loc->ref, pos, std::min<uint64_t>(limit, bufl))
                                   : loc->temp_text.substr(std::min<size_t>(pos, loc->temp_text.size()),
                                                           std::min<uint64_t>(limit, bufl));
    size_t bytes = 0;
    uint64_t n = 0;
    while (n < text.size()) {
        bool pair = text[n] >= 0xD800 && text[n] <= 0xDBFF && n + 1 < text.size();
        size_t need = pair ? 4 : text[n] < 0x80 ? 1 : text[n] < 0x800 ? 2 : 3;
        if (bytes + need > bufl) break;
        bytes += need;
        n += pair ? 2 : 1;
    }
    return n;
}

struct piece_size {
    ub4 amount = 0;  // in the caller's units
    ub4 bytes = 0;   // in the buffer
};

// Delivers the next piece of a read into the buffer and advances the stream.
piece_size read_piece(emu::session& ses, OCILobLocator* loc, buffer_set set, void* bufp, ub4 bufl)
{
    uint64_t n = units_fitting(ses, loc, set, loc->stream_pos, loc->stream_end - loc->stream_pos,
                               bufl);
    std::string data = read_units(ses, loc, set, loc->stream_pos, n);
    if (!data.empty()) std::memcpy(bufp, data.data(), std::min<size_t>(data.size(), bufl));
    loc->stream_pos += n;
    bool bytes_out = set == buffer_set::utf8 && !is_blob(loc);
    size_t bytes = std::min<size_t>(data.size(), bufl);
    return piece_size{static_cast<ub4>(bytes_out ? bytes : n), static_cast<ub4>(bytes)};
}

sword lob_read(emu::session& ses, OCIError* err, OCILobLocator* loc, ub4* amtp, ub4 offset,
               void* bufp, ub4 bufl, void* ctxp, OCICallbackLobRead cbfp, ub2 csid)
{
    buffer_set set = buffer_charset(loc->env, csid);
    if (amtp == nullptr || bufp == nullptr) return fail(err, 24801);
    if (!loc->streaming) {
        if (offset < 1) return fail(err, 24801);
        uint64_t length = lob_length(ses, loc);
        uint64_t start = offset - 1;
        if (start >= length) {
            // Nothing at or past the end: an empty read, not an error.
            *amtp = 0;
            return OCI_SUCCESS;
        }
        uint64_t want = *amtp == 0 ? length - start : *amtp;
        loc->stream_pos = start;
        loc->stream_end = std::min(length, start + want);
        loc->streaming = true;
    }
    piece_size p = read_piece(ses, loc, set, bufp, bufl);
    if (p.amount == 0 && loc->stream_pos < loc->stream_end) {
        // Not even one character fits the buffer.
        loc->streaming = false;
        return fail(err, 24801);
    }
    if (cbfp == nullptr) {
        *amtp = p.amount;
        if (loc->stream_pos < loc->stream_end) return OCI_NEED_DATA;
        loc->streaming = false;
        return OCI_SUCCESS;
    }
    uint64_t total = p.amount;
    ub1 piece = loc->stream_pos < loc->stream_end ? OCI_FIRST_PIECE : OCI_ONE_PIECE;
    for (;;) {
        if (cbfp(ctxp, bufp, p.bytes, piece) != OCI_CONTINUE) break;
        if (loc->stream_pos >= loc->stream_end) break;
        p = read_piece(ses, loc, set, bufp, bufl);
        total += p.amount;
        piece = loc->stream_pos < loc->stream_end ? OCI_NEXT_PIECE : OCI_LAST_PIECE;
    }
    loc->streaming = false;
    *amtp = static_cast<ub4>(total);
    return OCI_SUCCESS;
}

// ---------------------------------------------------------------- 64-bit forms

// Bytes of a buffer holding its first `units` UTF-16 units (or fewer when
// the buffer ends first).
size_t bytes_for_units(buffer_set set, const unsigned char* buf, size_t len, uint64_t units)
{
    if (set == buffer_set::utf16) return static_cast<size_t>(std::min<uint64_t>(len, units * 2));
    if (set == buffer_set::single_byte) return static_cast<size_t>(std::min<uint64_t>(len, units));
    size_t pos = 0;
    uint64_t done = 0;
    while (pos < len && done < units) {
        unsigned char c = buf[pos];
        size_t step = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
        uint64_t n = step == 4 ? 2 : 1;
        if (done + n > units) break;
        pos += step;
        done += n;
    }
    return std::min(pos, len);
}

// Fills the two amounts of a 64-bit call from the classic amount.
void report_amounts(const OCILobLocator* loc, buffer_set set, const void* buf, ub4 amount,
                    oraub8* byte_amtp, oraub8* char_amtp)
{
    oraub8 bytes = amount, chars = amount;
    if (is_blob(loc)) {
        chars = 0;
    } else if (set == buffer_set::utf16) {
        bytes = static_cast<oraub8>(amount) * 2;
    } else if (set == buffer_set::utf8) {
        chars = decode(set, static_cast<const unsigned char*>(buf), amount).size();
    }
    if (byte_amtp != nullptr) *byte_amtp = bytes;
    if (char_amtp != nullptr) *char_amtp = chars;
}

ub4 clamp32(oraub8 v)
{
    return v > 0xFFFFFFFFul ? 0xFFFFFFFFu : static_cast<ub4>(v);
}

// Validates the common arguments of a LOB call.
sword lob_args(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, emu::session*& ses,
               OCILobLocator*& loc)
{
    ses = session_of(svchp);
    loc = as<OCILobLocator>(locp, OCI_DTYPE_LOB);
    if (as<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX) == nullptr ||
        as<OCIError>(errhp, OCI_HTYPE_ERROR) == nullptr || loc == nullptr)
        return OCI_INVALID_HANDLE;
    clear(errhp);
    if (ses == nullptr) return fail(errhp, 3114);
    if (!loc->initialized) return fail(errhp, 22275);
    return OCI_SUCCESS;
}

}  // namespace

extern "C" {

sword OCILobWrite(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset,
                  void* bufp, ub4 buflen, ub1 piece, void* ctxp, OCICallbackLobWrite cbfp,
                  ub2 csid, ub1)
{
    emu::session* ses = nullptr;
    OCILobLocator* loc = nullptr;
    sword rc = lob_args(svchp, errhp, locp, ses, loc);
    if (rc != OCI_SUCCESS) return rc;
    return guarded(errhp, [&] {
        return lob_write(*ses, errhp, loc, amtp, offset, bufp, buflen, piece, ctxp, cbfp, csid);
    });
}

sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset,
                 void* bufp, ub4 bufl, void* ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1)
{
    emu::session* ses = nullptr;
    OCILobLocator* loc = nullptr;
    sword rc = lob_args(svchp, errhp, locp, ses, loc);
    if (rc != OCI_SUCCESS) return rc;
    return guarded(errhp, [&] {
        return lob_read(*ses, errhp, loc, amtp, offset, bufp, bufl, ctxp, cbfp, csid);
    });
}

sword OCILobWrite2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8* byte_amtp,
                   oraub8* char_amtp, oraub8 offset, void* bufp, oraub8 buflen, ub1 piece,
                   void*, OCICallbackLobWrite2 cbfp, ub2 csid, ub1)
{
    emu::session* ses = nullptr;
    OCILobLocator* loc = nullptr;
    sword rc = lob_args(svchp, errhp, locp, ses, loc);
    if (rc != OCI_SUCCESS) return rc;
    // Streaming through the 64-bit callback is not offered: pieces are
    // passed by calling again (polling), as with OCILobWrite.
    if (cbfp != nullptr || offset > 0xFFFFFFFFul || buflen > 0xFFFFFFFFul)
        return fail(errhp, 24801);
    return guarded(errhp, [&]() -> sword {
        buffer_set set = buffer_charset(loc->env, csid);
        auto* buf = static_cast<const unsigned char*>(bufp);
        oraub8 chars = char_amtp != nullptr ? *char_amtp : 0;
        oraub8 bytes = byte_amtp != nullptr ? *byte_amtp : 0;
        ub4 amount = 0;
        if (is_blob(loc)) {
            amount = clamp32(bytes);
        } else if (chars > 0) {
            if (set == buffer_set::utf8) {
                size_t n = bytes_for_units(set, buf, buflen, chars);
                if (decode(set, buf, n).size() < chars) return fail(errhp, 24811);
                amount = static_cast<ub4>(n);
            } else {
                amount = clamp32(chars);
            }
        } else {
            amount = clamp32(set == buffer_set::utf16 ? bytes / 2 : bytes);
        }
        sword status = lob_write(*ses, errhp, loc, &amount, static_cast<ub4>(offset), bufp,
                                 static_cast<ub4>(buflen), piece, nullptr, nullptr, csid);
        if (status == OCI_SUCCESS) report_amounts(loc, set, bufp, amount, byte_amtp, char_amtp);
        return status;
    });
}

sword OCILobRead2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8* byte_amtp,
                  oraub8* char_amtp, oraub8 offset, void* bufp, oraub8 bufl, ub1, void*,
                  OCICallbackLobRead2 cbfp, ub2 csid, ub1)
{
    emu::session* ses = nullptr;
    OCILobLocator* loc = nullptr;
    sword rc = lob_args(svchp, errhp, locp, ses, loc);
    if (rc != OCI_SUCCESS) return rc;
    if (cbfp != nullptr || offset > 0xFFFFFFFFul) return fail(errhp, 24801);
    return guarded(errhp, [&]() -> sword {
        buffer_set set = buffer_charset(loc->env, csid);
        oraub8 chars = char_amtp != nullptr ? *char_amtp : 0;
        oraub8 bytes = byte_amtp != nullptr ? *byte_amtp : 0;
        // For a CLOB the character amount rules; the byte amount counts
        // only when no characters are asked for.
        ub4 amount = is_blob(loc)  ? clamp32(bytes)
                     : chars > 0   ? clamp32(chars)
                     : clamp32(set == buffer_set::utf16 ? bytes / 2 : bytes);
        sword status = lob_read(*ses, errhp, loc, &amount, static_cast<ub4>(offset), bufp,
                                clamp32(bufl), nullptr, nullptr, csid);
        if (status == OCI_SUCCESS || status == OCI_NEED_DATA)
            report_amounts(loc, set, bufp, amount, byte_amtp, char_amtp);
        return status;
    });
}

sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp)
{
    emu::session* ses = nullptr;
    OCILobLocator* loc = nullptr;
    sword rc = lob_args(svchp, errhp, locp, ses, loc);
    if (rc != OCI_SUCCESS) return rc;
    if (lenp == nullptr) return fail(errhp, 24801);
    return guarded(errhp, [&] {
        *lenp = static_cast<ub4>(lob_length(*ses, loc));
        return OCI_SUCCESS;
    });
}

sword OCILobTrim(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4 newlen)
{
    emu::session* ses = nullptr;
    OCILobLocator* loc = nullptr;
    sword rc = lob_args(svchp, errhp, locp, ses, loc);
    if (rc != OCI_SUCCESS) return rc;
    return guarded(errhp, [&]() -> sword {
        if (newlen > lob_length(*ses, loc)) return fail(errhp, 22926);
        if (loc->ref) ses->lob_trim(*loc->ref, newlen);
        else if (is_blob(loc)) loc->temp_bytes.resize(newlen);
        else loc->temp_text.resize(newlen);
        return OCI_SUCCESS;
    });
}

sword OCILobGetLength2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8* lenp)
{
    emu::session* ses = nullptr;
    OCILobLocator* loc = nullptr;
    sword rc = lob_args(svchp, errhp, locp, ses, loc);
    if (rc != OCI_SUCCESS) return rc;
    if (lenp == nullptr) return fail(errhp, 24801);
    return guarded(errhp, [&] {
        *lenp = lob_length(*ses, loc);
        return OCI_SUCCESS;
    });
}

sword OCILobTrim2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8 newlen)
{
    if (newlen > 0xFFFFFFFFul) {
        OCIError* err = as<OCIError>(errhp, OCI_HTYPE_ERROR);
        if (err == nullptr) return OCI_INVALID_HANDLE;
        clear(err);
        return fail(err, 22926);
    }
    return OCILobTrim(svchp, errhp, locp, static_cast<ub4>(newlen));
}

sword OCILobCharSetForm(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub1* csfrm)
{
    OCILobLocator* loc = as<OCILobLocator>(locp, OCI_DTYPE_LOB);
    if (as<OCIEnv>(envhp, OCI_HTYPE_ENV) == nullptr ||
        as<OCIError>(errhp, OCI_HTYPE_ERROR) == nullptr || loc == nullptr || csfrm == nullptr)
        return OCI_INVALID_HANDLE;
    clear(errhp);
    if (!loc->initialized) return fail(errhp, 22275);
    *csfrm = is_blob(loc) ? 0 : emu::is_national(loc->type) ? SQLCS_NCHAR : SQLCS_IMPLICIT;
    return OCI_SUCCESS;
}

}  // extern "C"
