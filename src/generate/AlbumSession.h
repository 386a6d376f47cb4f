// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One album from Choose Tracks to Save, as every face of the program drives it: the
// tracks and their records, the texts of the album's fields, the chosen newsgroups, the
// preferences and remembered lists it was given, and the commands on them. The window
// shows and edits its texts; the command-line tool sets them from options.
#include "audio/TrackReaderUnit.h"
#include "common/PreferencesUnit.h"
#include "common/RememberedListsUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/AlbumUnit.h"
#include "generate/EncodingUnit.h"
#include "generate/SaveDocumentsUnit.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct TAlbumField;

// A document's text before it is saved, and what went wrong on the way without stopping it
// (a default template that could not be written): the face shows each.
struct TNfoDraft {
  std::string Text;
  std::vector<TProblem> Problems;
};

// What a face hears while tracks are read: each record as it joins, in listing order,
// and the idle moments in between, whose false answer cancels.
struct TTrackObserver {
  std::function<void(std::size_t index)> Added;
  std::function<bool(const TReadProgress& progress)> Idle;
  std::function<void(std::size_t index, TErrorCode problem)> Problem; // none: not told
};

class TAlbumSession {
public:
  enum class TChange { Tracks, Fields, NewsGroups };

  TAlbumSession() = default;
  // The record points at the session's newsgroups: a session stays where it was made.
  TAlbumSession(const TAlbumSession&) = delete;
  TAlbumSession& operator=(const TAlbumSession&) = delete;

  // Sets the session up from the program folder, as every face starts: the preferences,
  // the texts they give the boxes (encoder, codec, ripper and poster), the chosen
  // newsgroups and both dates today. A preference that means nothing is the problem told.
  std::vector<TProblem> Open(const std::string& programFolder);
  // The remembered lists, for a face that offers and remembers earlier entries (the
  // command line does neither); a list that cannot be read is reported.
  std::optional<TProblem> LoadRemembered(const std::string& programFolder);
  // The preferences from their file; a value there that means nothing (an encoding
  // Tamberlon does not know, a redundancy that is no percentage) is returned as the file's
  // problem, naming the key, and its default is used.
  std::vector<TProblem> LoadPreferences(const std::string& path);
  // The documents the preferences ask for (the .nfo always).
  TDocumentChoice PreferredDocuments() const;
  void SetPreferredDocuments(const TDocumentChoice& documents);

  // Listeners hear every change after it happened.
  void Listen(std::function<void(TChange)> listener);

  // Choose Tracks: the old tracks go and the files are read, in the given order, on
  // worker threads; returns how many joined (fewer when the observer cancelled).
  std::size_t ChooseTracks(const std::vector<std::string>& paths, bool withChecksum,
                           const TTrackObserver& observer = {});
  // Sorted selections: when every track read carries a track number in its tag, the
  // listing follows the numbers (the names' order holds between equal numbers); false when
  // some track has none and the names' order stands.
  bool OrderByTrackNumbers();
  // One more track at the end of the listing, with its lists and totals.
  void AddTrack(const std::string& path, std::unique_ptr<TTrackInfo> record);
  void ClearTracks();
  // The album's other files beside its tracks, when the preferences include them (none
  // otherwise), found anew; heard as a change of the tracks. Choose Tracks finds them too.
  void FindExtras();
  // Swaps the track with its neighbour above or below; false when there is none.
  bool MoveTrack(std::size_t position, bool up);
  // The totals' texts from the tracks, as Fill gives them.
  void UpdateTotals();

  // FillAlbumFields: the field texts by majority among the tracks.
  void FillFields();
  // The texts as the user typed them.
  void SetTexts(const TAlbumFieldTexts& texts);
  // StoreAlbumFields: the texts and the newsgroups into the album record.
  void StoreFields();
  void SetNewsGroups(std::vector<std::string> groups);

  // The record's own fields set directly, not from the boxes' texts (an album described
  // field by field, as the render command's JSON does), and its newsgroups in the given
  // order; a template expanded against the record as it stands.
  void SetRecordField(const TAlbumField& field, const std::string& value);
  void SetRecordNewsGroups(std::vector<std::string> groups);
  std::string ExpandAgainstRecord(const std::string& templatePath);

  // Whether a preview or a save must ask the compilation question first: the album, as
  // the texts last stored (StoreFields) make it, is one.
  bool IsCompilation() const { return FAlbum.VariousArtists; }
  // The ".nfo" exactly as Save would write it now, before it is encoded, with the
  // template the request answers for (the single-artist one when it does not): the
  // template step done, the checksums its template asks for computed.
  TNfoDraft NfoText(TSaveRequest request = {});
  // NfoText without touching a file: a missing template reads as its built-in default.
  std::string DraftNfoText(TSaveRequest request = {});
  // The modal preview's text: NfoText as it will read in the encoding.
  TNfoDraft PreviewText(TSaveRequest request = {});
  // The live preview's text, as it will read in the encoding: nothing written and no
  // track read, a missing template read as its default, the compilation answered as the
  // user last did, or as the album's artists call for.
  std::string LiveNfoText();
  // What a save of the request would do, and what the face must decide first.
  TSavePlan PlanSave(TSaveRequest request);
  // Save as planned and answered: the template step, the ".nfo" and its companions as
  // one set, then the remembered texts when the answers say so. Nothing is asked or
  // shown: the result carries the problem for the face.
  TSaveResult Save(const TSavePlan& plan, const TSaveAnswers& answers);

  TAlbumInfo& Album() { return FAlbum; }
  const TAlbumInfo& Album() const { return FAlbum; }
  const TTrackLists& Lists() const { return FLists; }
  const TAlbumFieldTexts& Texts() const { return FTexts; }
  const std::vector<std::string>& NewsGroups() const { return FNewsGroups; }
  TPreferences Preferences;
  TRememberedLists Remembered;
  // The user's last answer to the compilation question; unset until asked.
  std::optional<bool> CompilationAnswer;
  // The encoding the ".nfo" is saved in; previews show the text as it will read in it.
  void SetEncoding(TNfoEncoding encoding);
  TNfoEncoding Encoding() const { return FEncoding; }

private:
  void Notify(TChange change);

  TAlbumInfo FAlbum;
  TTrackLists FLists;
  TAlbumFieldTexts FTexts;
  std::vector<std::string> FNewsGroups;
  TNfoEncoding FEncoding = TNfoEncoding::Utf8;
  std::vector<std::function<void(TChange)>> Listeners;
};
