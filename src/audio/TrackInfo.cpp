// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/TrackInfo.h"

#include "audio/CRC32Unit.h"
#include "audio/TrackFormatReader.h"
#include "common/DateTimeUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "common/TrackKinds.h"

#include <exception>

std::optional<std::string> FileChecksumText(const std::string& path, const TTrackReading& reading) {
  const auto crc = FileCRC32(path, reading.BytesRead, reading.Cancelled);
  return crc ? std::optional(CRC32Text(*crc)) : std::nullopt;
}

void TTrackInfo::Fill(const std::string& path, const std::function<void(TErrorCode)>& report) {
  // One open serves the date and the reading; only a file that is there but cannot be
  // read is reported: no file there leaves the record with its new values.
  auto file = TReadOnlyFile::Open(path);
  if (!file) {
    if (const auto date = RegularFileModificationTime(path)) {
      FileDate = *date;
      report(ecOpenForReading);
    }
    return;
  }
  FileDate = LocalDateTime(file->ModifiedSeconds()).value_or(0);
  FileSize = file->Size();
  if (file->Size() == 0) { // it opened: "Can't open" would send the user looking elsewhere
    report(ecTrackFileEmpty);
    return;
  }
  // A name of no known kind is read as MP3, as the program always has; one that holds no
  // MP3 either is a file of the album (a .cue, a .log): its size and date, and no word.
  const std::optional<TTrackKind> named = TrackKindOfName(path);
  switch (ReadTrackOfKind(*file, named.value_or(TTrackKind::MP3), *this)) {
  case TTrackReadOutcome::Read:
    break;
  case TTrackReadOutcome::NotOpened:
    report(ecOpenForReading);
    break;
  case TTrackReadOutcome::OtherKind:
    if (named)
      report(ecTrackKindMismatch);
    break;
  case TTrackReadOutcome::Unreadable:
    report(ecTrackStreamUnreadable);
    break;
  }
}

std::unique_ptr<TTrackInfo> MakeTrackInfo(const std::string& path, bool withChecksum,
                                          const TTrackReading& reading) {
  const auto report = [&reading](TErrorCode code) {
    if (reading.Errors)
      reading.Errors->push_back(code);
  };
  auto track = std::make_unique<TTrackInfo>();
  // Nothing here throws by design; should memory run out, the batch still goes on.
  try {
    track->Fill(path, report);
  } catch (const std::exception&) {
    report(ecOpenForReading);
  }
  if (withChecksum) {
    track->ChecksumStamp = FileStampOf(path); // before: a change while it is read shows
    std::optional<std::string> checksum;
    try {
      checksum = FileChecksumText(path, reading);
    } catch (const std::exception&) {
    }
    if (checksum)
      track->Checksum = std::move(*checksum);
    else if (!(reading.Cancelled && reading.Cancelled->load()))
      report(ecOpenForReading);
  }
  return track;
}

std::optional<double> TrackSeconds(const std::string& path) {
  std::vector<TErrorCode> errors;
  TTrackReading reading;
  reading.Errors = &errors;
  const auto info = MakeTrackInfo(path, false, reading);
  return info->Analysed ? std::optional(info->Duration) : std::nullopt;
}
