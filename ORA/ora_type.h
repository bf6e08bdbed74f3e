// Column readers of a result set, one per select-list column, chosen by the
// Oracle data type OCI describes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ole_variant.h"
#include "ora_oci.h"

class t_ftd;

class ora_type {
public:
    // Reads name, nullability and size from the column's parameter.
    ora_type(OCIParam* param, ub2 type_code);
    virtual ~ora_type();
    ora_type(const ora_type&) = delete;
    ora_type& operator=(const ora_type&) = delete;

    virtual ole_vartype get_vartype() const;
    // The column as a field descriptor: name, size, kind, NOT NULL.
    virtual std::unique_ptr<t_ftd> get_ftd() const;
    // The current row's value; only called when the indicator is not -1.
    virtual ole_variant to_variant() = 0;
    virtual void define(OCIStmt* stmt, ub4 position) = 0;

    bool is_null() const { return indicator == -1; }

    OCIDefine* define_handle = nullptr;
    std::u16string name;
    bool nullable = true;
    uint32_t size = 0;
    uint8_t type_code = 0;
    sb2 indicator = 0;

protected:
    void define_buffer(OCIStmt* stmt, ub4 position, void* buffer, sb4 bytes, ub2 type, ub2* length);
};

// Makes the reader for column `param` of a described statement.
std::unique_ptr<ora_type> ora_make_type(OCIParam* param);

// VARCHAR2, NVARCHAR2, CHAR, NCHAR: text.
class ora_string : public ora_type {
public:
    ora_string(OCIParam* param, ub2 type_code);
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, ub4 position) override;

private:
    std::u16string buffer_;
};

// NUMBER: exact text, turned into the refined kind.
class ora_number : public ora_type {
public:
    ora_number(OCIParam* param, ub2 type_code);
    ole_vartype get_vartype() const override { return kind_; }
    std::unique_ptr<t_ftd> get_ftd() const override;
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, ub4 position) override;

    // The value of a NUMBER's text as `kind`; wider kinds keep every digit
    // when the text does not fit.
    static ole_variant from_text(std::u16string_view text, ole_vartype kind);

private:
    ole_vartype kind_ = VT_R8;
    int precision_ = 0;
    int scale_ = 0;
    std::u16string buffer_;
};

// LONG, ROWID, intervals and the like, read as text (LONG RAW as bytes).
class ora_str_repr : public ora_type {
public:
    ora_str_repr(OCIParam* param, ub2 type_code, uint32_t characters);
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, ub4 position) override;

private:
    std::u16string buffer_;
};

// DATE and timestamps, read to the second.
class ora_date : public ora_type {
public:
    ora_date(OCIParam* param, ub2 type_code);
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, ub4 position) override;

    // The 7-byte internal DATE form as calendar fields.
    static ole_systemtime decode(const uint8_t (&bytes)[7]);

private:
    uint8_t buffer_[7] = {};
};

// RAW: the bytes the row holds.
class ora_binary : public ora_type {
public:
    ora_binary(OCIParam* param, ub2 type_code);
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, ub4 position) override;

private:
    std::vector<uint8_t> buffer_;
    ub2 length_ = 0;
};

// CLOB, NCLOB and BLOB through a locator; the size is reported as 0 (no
// limit), which makes the column a LOB column for ora_is_lob.
class ora_lob : public ora_type {
public:
    ora_lob(OCIParam* param, ub2 type_code);
    ~ora_lob() override;
    std::unique_ptr<t_ftd> get_ftd() const override;
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, ub4 position) override;

    // Reads up to `amount` units (characters for CLOB, bytes for BLOB) from
    // `offset` (from 1); returns the units read.
    ub4 read_lob(ub4 offset, void* buffer, ub4 amount);

private:
    OCILobLocator* locator_ = nullptr;
};

class ora_dummy : public ora_type {
public:
    ora_dummy(OCIParam* param, ub2 type_code);
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, ub4 position) override;
};
