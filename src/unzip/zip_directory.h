#pragma once
// Reading an archive's directory: the end record (and its Zip64 companions), the central records,
// and, when the directory is damaged, the entries rebuilt from the local headers.
#include <functional>

#include "platform/services.h"
#include "unzip/zip_objects.h"
#include "unzip/zip_stream.h"

namespace qv::unzip {

// What directory reading takes from the component.
struct DirectorySettings {
  const platform::Codec& codec;
  TOEMConvert oemConvert = TOEMConvert::oemAlways;
  std::function<void()> processMessages;  // empty when messages are not pumped
};

// Finds the end record within the last 65557 bytes of `s`; an empty stream is an archive without
// entries. A record naming impossible disks counts as not found.
bool locateEndRecord(Stream& s, TEndCentral& end);

// One central record at the stream's position. Readable: `info` filled and the stream after the
// file name. Unreadable: the stream back where it stood.
bool readCentralRecord(Stream& s, TZipHeaderInfo& info, const DirectorySettings& settings);

// One local header read as an entry (for the recovery scan), with the same contract.
bool readLocalAsEntry(Stream& s, TZipHeaderInfo& info, const DirectorySettings& settings);

// The fixed part of a local header, as extraction needs it.
struct LocalHeader {
  uint16_t flags = 0;
  uint32_t dosDateTime = 0;  // as stored: an encrypted entry's check byte may come from it
  uint16_t nameLength = 0;
  uint16_t extraLength = 0;
};

// Reads the local header at `position`. False when the bytes there are not one (wrong signature) or
// the file ends inside its 30 bytes.
bool readLocalHeader(Stream& s, int64_t position, LocalHeader& header);

// Reads `count` central records from `start` into `list`, retrying once without a previous record's
// extra field. False when a record stays unreadable (the list then holds what was read). `end`, when
// given, receives the position after the last record and what follows it.
bool readCentralRecords(Stream& s, int64_t start, uint64_t count, TSortedZip& list, const DirectorySettings& settings,
                        int64_t* end = nullptr);

// Rebuilds the entry list from local headers, scanning from `startOffset`; rewrites `end` as a
// single-part record. False (and an empty list) when no local header is found, or when an entry's
// data cannot be stepped over: a size that runs past the end of the file, or data with a trailing
// descriptor whose end cannot be found.
bool recoveryScan(Stream& s, int64_t startOffset, TSortedZip& list, TEndCentral& end, const DirectorySettings& settings);

}  // namespace qv::unzip
