#pragma once
// The archives the cases publish, made by the suites' one zip writer.
#include "zip_writer.h"

namespace qv::e2e {

using unzip::test::addonArchive;
using unzip::test::kStored;
using unzip::test::NamedEntries;

}  // namespace qv::e2e
