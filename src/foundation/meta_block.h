// The provenance block of the XML files the program writes for itself (stand files,
// LiveriesScanned.xml): a top-level "meta" element with "info" entries (author, version, date,
// copyright, simulator), each with a "name" and a "value" attribute.
#pragma once

#include <string>

#include "foundation/parameters.h"

namespace pugi {
class xml_node;
class xml_document;
}  // namespace pugi

// The simulator named in meta blocks: "MSFS" at start; the writers set "P3D" before they write.
// Written by the worker before any scan task starts and never while one runs.
extern std::string g_simulatorName;

// Appends the "meta" element and its five entries to a document or element node. False when the
// node cannot take it or an entry cannot be created (the block may then be incomplete).
bool gf_writeMeta(pugi::xml_node node);
// Finds /meta/info[@name='<name>'] and copies its "value" into the object (empty when missing);
// true when the entry exists.
bool gf_readMetaInfo(const pugi::xml_document& document, StringParameter& metaObject);
// True when "author", "date" and "version" entries exist (their values are not compared); else
// logs "meta data incorrect?" as an error line.
bool gf_checkMeta(const pugi::xml_document& document);
