// The catalogue of an Access file: the table objects of MSysObjects, in
// the order the file stores them, and the rows of MSysRelationships.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet_libmdb.h"
#include "jet_props.h"

class jet_file;

// TableDef.Attributes bits.
enum : int32_t {
    jet_attr_system = static_cast<int32_t>(0x80000002u),
    jet_attr_linked = 0x40000000,
    jet_attr_odbc = 0x20000000,
};

// MSysObjects.Type of the table objects.
enum : int32_t {
    jet_object_table = 1,
    jet_object_odbc_link = 4,
    jet_object_linked_table = 6,
};

struct jet_catalog_entry {
    std::u16string name;
    int32_t type = 0;         // MSysObjects.Type: 1 local, 4 ODBC link, 6 Access/ISAM link
    uint32_t flags = 0;       // MSysObjects.Flags
    uint32_t table_page = 0;  // TDEF page of a local table
    int32_t attributes = 0;   // TableDef.Attributes as DAO reports them
    std::u16string connect;
    std::u16string database;
    std::u16string foreign_name;
    std::shared_ptr<const jet_properties> properties;  // never null

    bool is_system() const { return (attributes & jet_attr_system) != 0; }
    bool is_linked() const { return (attributes & (jet_attr_linked | jet_attr_odbc)) != 0; }
};

// One row of MSysRelationships: one column pair of a relationship.
struct jet_relationship {
    std::u16string name;               // szRelationship
    std::u16string object;             // szObject: the referencing (many) side
    std::u16string column;             // szColumn
    std::u16string referenced_object;  // szReferencedObject: the referenced (one) side
    std::u16string referenced_column;  // szReferencedColumn
    int32_t grbit = 0;
    int32_t ccolumn = 0;
    int32_t icolumn = 0;
};

class jet_catalog {
public:
    // Reads MSysObjects and MSysRelationships; raises jet_error 3343 when
    // the file's catalogue cannot be read.
    explicit jet_catalog(const jet_file& file);

    // Tables (local, linked, ODBC-linked; system ones included) in stored order.
    const std::vector<jet_catalog_entry>& tables() const { return tables_; }
    const std::vector<jet_relationship>& relationships() const { return relationships_; }
    // The table of that name (compared without regard to case), or null.
    const jet_catalog_entry* find(std::u16string_view name) const;
    // libmdb's catalogue entry of a local table, or null. The component
    // makes these entries itself: libmdb's own catalogue reader parses
    // property blobs without checking them.
    MdbCatalogEntry* mdb_entry(const jet_catalog_entry& table) const;

    // DAO's attribute bits of an MSysObjects row.
    static int32_t attributes_of(int32_t type, uint32_t flags, std::u16string_view name);

private:
    void read_objects(const jet_file& file);
    void read_relationships(const jet_file& file);

    MdbCatalogEntry* make_entry(const std::u16string& name, uint32_t page);

    MdbHandle* mdb_;
    std::vector<std::unique_ptr<MdbCatalogEntry>> entries_;
    std::vector<jet_catalog_entry> tables_;
    std::vector<jet_relationship> relationships_;
};
