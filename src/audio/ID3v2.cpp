// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/ID3v2.h"
#include "audio/TrackInfo.h"

#include "common/ByteReader.h"
#include "common/FileUnit.h"
#include "common/ImageSize.h"
#include "common/TextUnit.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <vector>

namespace {
constexpr std::uint8_t FlagExtendedHeader = 0x40;
constexpr std::uint8_t FlagFooter = 0x10;
constexpr std::uint8_t FrameFlagSkipped = 0x80; // second flag byte: compressed in 2.3

struct TSlotIds {
  std::string_view Modern; // versions 2.3 and 2.4
  std::string_view Legacy; // version 2.2
};

enum TSlot : std::size_t {
  sTitle,
  sArtist,
  sAlbum,
  sTrack,
  sYear,
  sGenre,
  sComment,
  sComposer,
  sEncodedBy,
  sCopyright,
  sLanguage,
  sUrl,
  sRecordingDate,
  sOriginalArtist,
  sContentGroup,
  sOriginalAlbum,
  sMediaType,
  sPublisher,
  sAlbumArtist,
  sCompilation,
  sPartOfSet,
};

constexpr std::array<TSlotIds, TID3v2::SlotCount> SlotIds = {{
    {"TIT2", "TT2"}, {"TPE1", "TP1"}, {"TALB", "TAL"}, {"TRCK", "TRK"},
    {"TYER", "TYE"}, {"TCON", "TCO"}, {"COMM", "COM"}, {"TCOM", "TCM"},
    {"TENC", "TEN"}, {"TCOP", "TCR"}, {"TLAN", "TLA"}, {"WXXX", "WXX"},
    {"TDRC", "TOR"}, {"TOPE", "TOA"}, {"TIT1", "TT1"}, {"TOAL", "TOT"},
    {"TMED", "TMT"}, {"TPUB", "TPB"}, {"TPE2", "TP2"}, {"TCMP", "TCP"}, // iTunes' compilation flag
    {"TPOS", "TPA"},
}};

// A frame id as one number, so that finding its slot compares numbers, not texts.
constexpr std::uint32_t IdKey(std::string_view id) {
  std::uint32_t key = 0;
  for (const char c : id)
    key = key << 8 | static_cast<std::uint8_t>(c);
  return key;
}

struct TSlotKeys {
  std::uint32_t Modern;
  std::uint32_t Legacy;
};
constexpr auto SlotKeys = [] {
  std::array<TSlotKeys, TID3v2::SlotCount> keys{};
  for (std::size_t i = 0; i < keys.size(); ++i)
    keys[i] = {IdKey(SlotIds[i].Modern), IdKey(SlotIds[i].Legacy)};
  return keys;
}();

// The slot a frame id fills, or SlotCount when the program does not use it.
std::size_t SlotOf(std::string_view id, bool legacy) {
  const std::uint32_t key = IdKey(id);
  for (std::size_t slot = 0; slot < SlotKeys.size(); ++slot)
    if ((legacy ? SlotKeys[slot].Legacy : SlotKeys[slot].Modern) == key)
      return slot;
  return TID3v2::SlotCount;
}

bool IsUpper(std::uint8_t c) {
  return c >= 'A' && c <= 'Z';
}
bool IsIdChar(std::uint8_t c) {
  return IsUpper(c) || (c >= '0' && c <= '9');
}

// The first count characters (code points) of UTF-8 text.
std::string FirstCharacters(const std::string& text, std::size_t count) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == count)
      return text.substr(0, i);
  }
  return text;
}

std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::vector<char16_t> units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    const char16_t unit =
        bigEndian ? static_cast<char16_t>((a << 8) | b) : static_cast<char16_t>((b << 8) | a);
    if (unit == 0)
      break;
    units.push_back(unit);
  }
  return Utf16ToUtf8(units);
}

// The text without a leading byte-order mark and the controls and spaces around it, cut in
// place: most values lose nothing and are not copied.
std::string Tidied(std::string text) {
  constexpr std::string_view Bom = "\xEF\xBB\xBF";
  std::string_view kept = text;
  if (kept.starts_with(Bom))
    kept.remove_prefix(Bom.size());
  kept = TrimControl(kept);
  const auto start = static_cast<std::size_t>(kept.data() - text.data());
  text.erase(start + kept.size());
  text.erase(0, start);
  return text;
}

// The header's size: seven bits a byte as the standard has it, the top bits used whole.
std::int64_t StatedTagSize(const TByteReader& header) {
  std::int64_t size = (std::int64_t{header.U8(6)} << 21) + (std::int64_t{header.U8(7)} << 14) +
                      (std::int64_t{header.U8(8)} << 7) + header.U8(9) + TID3v2::HeaderLength;
  if (header.U8(5) & FlagFooter)
    size += TID3v2::HeaderLength;
  return size;
}
} // namespace

std::int64_t ID3v2StatedTagSize(std::span<const std::uint8_t> head) {
  const TByteReader header(head);
  return header.Has(0, TID3v2::HeaderLength) && header.Matches(0, "ID3") ? StatedTagSize(header)
                                                                         : 0;
}

namespace {
// The values a text frame holds: several are separated by the encoding's NUL (a byte, or
// two on a code unit's boundary), as version 2.4 lists them; a trailing one ends the last.
// Empty values are left out: they add nothing and change no byte order, and the slot's
// zero padding makes hundreds of them.
template <typename TTake> void ForEachTextValue(std::string_view body, bool wide, TTake take) {
  auto give = [&](std::string_view value) {
    if (!value.empty())
      take(value);
  };
  std::size_t start = 0;
  if (!wide) {
    for (std::size_t at; (at = body.find('\0', start)) != std::string_view::npos; start = at + 1)
      give(body.substr(start, at - start));
  } else {
    for (std::size_t at = 0; at + 2 <= body.size(); at += 2)
      if (body[at] == 0 && body[at + 1] == 0) {
        give(body.substr(start, at - start));
        start = at + 2;
      }
  }
  give(body.substr(start));
}

// One value in the frame's encoding. UTF-16 with a byte-order mark: each value's mark
// decides, and a value without one keeps the order before it (little-endian at first).
std::string DecodeValue(unsigned char encoding, std::string_view value, bool& bigEndian) {
  std::string text;
  switch (encoding) {
  case 0:
    text = Cp1252ToUtf8(TrimControl(value));
    break;
  case 1: {
    const bool marked = value.starts_with("\xFE\xFF") || value.starts_with("\xFF\xFE");
    if (marked)
      bigEndian = value.starts_with("\xFE\xFF");
    text = DecodeUtf16(marked ? value.substr(2) : value, bigEndian);
    break;
  }
  case 2:
    text = DecodeUtf16(value, true);
    break;
  default:
    text = SanitizeUtf8(TrimControl(value));
    break;
  }
  return Tidied(std::move(text));
}
} // namespace

std::string DecodeID3v2Text(std::string_view raw) {
  if (raw.empty())
    return {};
  const auto encoding = static_cast<unsigned char>(raw.front());
  if (encoding > 3) // no encoding byte: the text as it stands
    return Tidied(Cp1252ToUtf8(TrimControl(raw)));
  std::string joined;
  bool bigEndian = encoding == 2;
  ForEachTextValue(raw.substr(1), encoding == 1 || encoding == 2, [&](std::string_view value) {
    std::string text = DecodeValue(encoding, value, bigEndian);
    if (joined.empty()) {
      joined = std::move(text);
    } else if (!text.empty()) {
      joined += TagValueSeparator;
      joined += text;
    }
  });
  return joined;
}

std::string DecodeID3v2DescribedText(std::string_view raw, bool withLanguage) {
  if (raw.empty())
    return {};
  const char encoding = raw.front();
  const bool wide = encoding == 1 || encoding == 2;
  std::string_view rest = raw.substr(std::min(raw.size(), std::size_t{withLanguage ? 4u : 1u}));
  if (wide) {
    // Two zero bytes end the description, on a code-unit boundary only.
    std::size_t at = 0;
    while (at + 1 < rest.size() && !(rest[at] == 0 && rest[at + 1] == 0))
      at += 2;
    rest.remove_prefix(at + 1 < rest.size() ? at + 2 : std::min<std::size_t>(1, rest.size()));
  } else {
    const std::size_t at = rest.find('\0');
    if (at != std::string_view::npos)
      rest.remove_prefix(at + 1);
  }
  std::string value(1, encoding);
  value.append(rest);
  return DecodeID3v2Text(value);
}

void TID3v2::Clear() {
  Present = false;
  MajorVersion = 0;
  TagSize = 0;
  TrackNumber = 0;
  for (std::string* text :
       {&Title, &Artist, &Album, &TrackText, &Year, &Genre, &Comment, &Composer, &EncodedBy,
        &Copyright, &Language, &Url, &MediaType, &Publisher, &AlbumArtist, &DiscText, &Picture})
    text->clear();
  Compilation = false;
  FrontPicture = false;
}

bool TID3v2::Load(const std::string& fileName) {
  Clear();
  auto file = TReadOnlyFile::Open(fileName);
  return file && Load(*file);
}

bool TID3v2::Load(TReadOnlyFile& file) {
  Clear();
  std::array<std::uint8_t, HeaderLength> bytes{};
  if (!file.ReadExactly(0, bytes))
    return false;
  const TByteReader header(bytes);
  if (!header.Matches(0, "ID3"))
    return true;
  Present = true;
  MajorVersion = header.U8(3);
  const std::int64_t stated = StatedTagSize(header);
  TagSize = stated > file.Size() ? 0 : stated;
  if (MajorVersion >= 2 && MajorVersion <= 4 && TagSize > 0) {
    TSlots slots;
    ReadFrames(file, header.U8(5), slots);
    DecodeFields(slots);
  }
  return true;
}

namespace {
// Where a frame list may go on: another frame header, padding, or the end of the frames.
bool PlausibleNextFrame(TReadOnlyFile& file, std::int64_t at, std::int64_t framesEnd,
                        std::int64_t tagSize) {
  if (at == framesEnd || at == tagSize)
    return true;
  if (at > tagSize)
    return false;
  std::array<std::uint8_t, 4> id{};
  if (!file.ReadExactly(at, id))
    return false;
  return id[0] == 0 || (IsUpper(id[0]) && std::all_of(id.begin(), id.end(), IsIdChar));
}

// Version 2.4 sizes are synchsafe; some writers stored plain numbers there. The plain
// reading is taken only when it, and not the synchsafe one, leads to a plausible frame.
std::int64_t Version4FrameSize(TReadOnlyFile& file, const TByteReader& header,
                               std::int64_t dataStart, std::int64_t framesEnd,
                               std::int64_t tagSize) {
  const std::int64_t plain = header.U32BE(4);
  const bool synchsafeValid =
      ((header.U8(4) | header.U8(5) | header.U8(6) | header.U8(7)) & 0x80) == 0;
  if (!synchsafeValid)
    return plain;
  const std::int64_t synchsafe = header.Synchsafe32(4);
  if (synchsafe == plain || PlausibleNextFrame(file, dataStart + synchsafe, framesEnd, tagSize))
    return synchsafe;
  return PlausibleNextFrame(file, dataStart + plain, framesEnd, tagSize) ? plain : synchsafe;
}
} // namespace

namespace {
// Where an attached picture's image starts in its frame: past the encoding, the format
// (2.2: three letters; later: a MIME type ending in NUL), the picture type and the
// description, which ends in one NUL, or two at an even place for UTF-16. 0 when the
// frame ends first; type is the picture's type (3: the front cover).
std::size_t PictureDataStart(const TByteReader& frame, bool legacy, std::uint8_t& type) {
  const bool wide = frame.U8(0) == 1 || frame.U8(0) == 2;
  std::size_t at = 1;
  if (legacy) {
    at += 3;
  } else {
    while (at < frame.Size() && frame.U8(at) != 0)
      ++at;
    ++at;
  }
  type = frame.U8(at++);
  for (; at + (wide ? 1 : 0) < frame.Size(); at += wide ? 2 : 1)
    if (frame.U8(at) == 0 && (!wide || frame.U8(at + 1) == 0))
      return at + (wide ? 2 : 1);
  return 0;
}
} // namespace

void TID3v2::ReadPicture(TReadOnlyFile& file, std::int64_t at, std::int64_t size, bool indicated) {
  if (indicated) { // a data length indicator comes first
    at += 4;
    size -= 4;
  }
  std::vector<std::uint8_t> bytes(
      static_cast<std::size_t>(std::clamp<std::int64_t>(size, 0, ImageHeadBytes)));
  const auto read = file.ReadAt(at, bytes);
  if (!read)
    return;
  const TByteReader frame(std::span(bytes.data(), *read));
  std::uint8_t type = 0;
  const std::size_t start = PictureDataStart(frame, MajorVersion == 2, type);
  const auto image = start ? ReadImageSize(frame.Sub(start, frame.Size())) : std::nullopt;
  if (image && (Picture.empty() || (type == 3 && !FrontPicture))) {
    Picture = ImageSizeText(*image);
    FrontPicture = type == 3;
  }
}

void TID3v2::ReadFrames(TReadOnlyFile& file, std::uint8_t flags, TSlots& slots) {
  const bool legacy = MajorVersion == 2;
  const std::size_t frameHeaderLength = legacy ? 6 : 10;
  const std::int64_t framesEnd = TagSize - ((flags & FlagFooter) ? HeaderLength : 0);
  std::int64_t position = HeaderLength;

  if (!legacy && (flags & FlagExtendedHeader)) {
    std::array<std::uint8_t, 4> sizeBytes{};
    if (!file.ReadExactly(position, sizeBytes))
      return;
    const TByteReader size(sizeBytes);
    // 2.3 counts the size field apart; 2.4 counts it in, synchsafe.
    position += MajorVersion == 3 ? 4 + std::int64_t{size.U32BE(0)} : size.Synchsafe32(0);
  }

  std::array<std::uint8_t, 10> headerBytes{};
  std::string data;
  while (position < TagSize && position < file.Size()) {
    const std::span<std::uint8_t> headerSpan(headerBytes.data(), frameHeaderLength);
    if (!file.ReadExactly(position, headerSpan))
      break;
    const TByteReader header(headerSpan);
    if (!IsUpper(header.U8(0)))
      break;
    const std::int64_t dataStart = position + static_cast<std::int64_t>(frameHeaderLength);
    std::int64_t dataSize = legacy ? header.U24BE(3) : header.U32BE(4);
    if (MajorVersion == 4)
      dataSize = Version4FrameSize(file, header, dataStart, framesEnd, TagSize);

    // Only the frames the program shows are read; a cut-off frame ends the list either
    // way, as the next one would begin past the end of the file.
    const bool skipped = !legacy && (header.U8(9) & FrameFlagSkipped);
    const std::size_t slot =
        SlotOf(std::string_view(reinterpret_cast<const char*>(headerBytes.data()), legacy ? 3 : 4),
               legacy);
    const std::string_view id(reinterpret_cast<const char*>(headerBytes.data()), legacy ? 3 : 4);
    if (!skipped && (id == "APIC" || id == "PIC"))
      ReadPicture(file, dataStart, dataSize, MajorVersion == 4 && (header.U8(9) & 0x01));
    else if (!skipped && slot < SlotCount) {
      const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(dataSize, SlotSize));
      // Four zero bytes end a shorter frame's text, and its description, in either width as
      // zero padding to the slot's whole size would; more would only be scanned.
      data.assign(std::min(wanted + 4, SlotSize), '\0');
      if (!file.ReadExactly(dataStart,
                            std::span(reinterpret_cast<std::uint8_t*>(data.data()), wanted)))
        break;
      if (static_cast<std::uint8_t>(data[0]) <= 3) // a known text encoding
        slots[slot] = data;
    }
    position = dataStart + dataSize;
  }
}

void TID3v2::DecodeFields(const TSlots& slots) {
  auto text = [&](TSlot slot) {
    return DecodeID3v2Text(slots[slot]);
  };
  auto either = [&](TSlot first, TSlot second) {
    std::string value = text(first);
    return value.empty() ? text(second) : value;
  };
  Title = either(sTitle, sContentGroup);
  Artist = either(sArtist, sOriginalArtist);
  Album = either(sAlbum, sOriginalAlbum);

  TrackText = text(sTrack);
  const std::string number = TrackText.substr(0, TrackText.find('/'));
  const bool digits =
      !number.empty() && number.size() <= 5 &&
      std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
  const unsigned long value = digits ? std::stoul(number) : 0;
  TrackNumber = value <= 65535 ? static_cast<std::uint16_t>(value) : 0;

  Year = text(sYear);
  if (Year.empty())
    Year = FirstCharacters(text(sRecordingDate), 4);

  Genre = text(sGenre);
  const std::size_t close = Genre.rfind(')');
  if (close != std::string::npos)
    Genre.erase(0, close + 1);

  Comment = DecodeID3v2DescribedText(slots[sComment], true);
  Url = DecodeID3v2DescribedText(slots[sUrl], false);
  Composer = text(sComposer);
  EncodedBy = text(sEncodedBy);
  Copyright = text(sCopyright);
  Language = text(sLanguage);
  MediaType = text(sMediaType);
  Publisher = text(sPublisher);
  AlbumArtist = text(sAlbumArtist);
  Compilation = text(sCompilation) == "1";
  DiscText = text(sPartOfSet);
}
