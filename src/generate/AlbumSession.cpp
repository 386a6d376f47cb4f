// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/AlbumSession.h"
#include "generate/AlbumDiscs.h"
#include "generate/AlbumExtras.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/Host.h"
#include "common/IntToAbbrStrUnit.h"
#include "generate/AlbumFieldTable.h"
#include "generate/AnalysisTexts.h"
#include "generate/EncodingUnit.h"
#include "generate/NFOUnit.h"
#include "generate/SFVUnit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

std::optional<TProblem> TAlbumSession::LoadRemembered(const std::string& programFolder) {
  return LoadRememberedLists(programFolder, Remembered);
}

std::vector<TProblem> TAlbumSession::Open(const std::string& programFolder) {
  auto problems = LoadPreferences(programFolder + PreferencesFileName);
  TAlbumFieldTexts texts;
  for (const TAlbumField& field : AlbumFields)
    if (const auto* text = std::get_if<std::string TAlbumFieldTexts::*>(&field.Text);
        text && field.Preference)
      texts.** text = Preferences.*field.Preference;
  texts.RipDate = texts.PostDate = std::floor(CurrentHost().Now());
  SetTexts(texts);
  SetNewsGroups(Preferences.NGPostedTo);
  return problems;
}

namespace {
std::vector<std::string_view> DocumentPreferenceKeys() {
  std::vector<std::string_view> keys;
  for (const TDocumentKind& kind : DocumentKinds)
    if (!kind.PreferenceKey.empty())
      keys.push_back(kind.PreferenceKey);
  return keys;
}
} // namespace

TDocumentChoice TAlbumSession::PreferredDocuments() const {
  TDocumentChoice chosen{};
  for (const TDocumentKind& kind : DocumentKinds) {
    const auto at = Preferences.Switches.find(kind.PreferenceKey);
    chosen[static_cast<std::size_t>(kind.Role)] =
        kind.MadeBy == TDocumentKind::Save &&
        (kind.PreferenceKey.empty() || (at != Preferences.Switches.end() && at->second));
  }
  return chosen;
}

void TAlbumSession::SetPreferredDocuments(const TDocumentChoice& documents) {
  for (const TDocumentKind& kind : DocumentKinds)
    if (!kind.PreferenceKey.empty())
      Preferences.Switches[std::string(kind.PreferenceKey)] =
          documents[static_cast<std::size_t>(kind.Role)];
}

std::vector<TProblem> TAlbumSession::LoadPreferences(const std::string& path) {
  Preferences = ReadPreferences(path, DocumentPreferenceKeys());
  std::vector<TProblem> problems;
  const auto encoding = EncodingNamed(Preferences.NfoEncoding);
  if (!encoding) {
    problems.push_back({"NfoEncoding=" + Preferences.NfoEncoding +
                            " is no encoding Tamberlon knows (utf-8, cp437 or windows-1252); "
                            "utf-8 is used",
                        path});
    Preferences.NfoEncoding = std::string(EncodingName(TNfoEncoding::Utf8));
  }
  for (const std::string& ignored : Preferences.IgnoredValues)
    problems.push_back({ignored + " means nothing to Tamberlon; " +
                            std::to_string(Preferences.Par2Redundancy) + " is used",
                        path});
  SetEncoding(encoding.value_or(TNfoEncoding::Utf8));
  return problems;
}

void TAlbumSession::Listen(std::function<void(TChange)> listener) {
  Listeners.push_back(std::move(listener));
}

void TAlbumSession::Notify(TChange change) {
  for (const auto& listener : Listeners)
    listener(change);
}

std::size_t TAlbumSession::ChooseTracks(const std::vector<std::string>& paths, bool withChecksum,
                                        const TTrackObserver& observer) {
  ClearTracks();
  TTrackReaderCallbacks callbacks;
  callbacks.Deliver = [&](std::size_t index, std::unique_ptr<TTrackInfo> record) {
    AddTrack(paths[index], std::move(record));
    if (observer.Added)
      observer.Added(index);
  };
  callbacks.Idle = observer.Idle;
  callbacks.Problem = observer.Problem;
  const std::size_t read = ReadTracks(paths, withChecksum, callbacks);
  FindExtras();
  return read;
}

void TAlbumSession::FindExtras() {
  std::vector<std::string> paths;
  for (const TTrackEntry& track : FAlbum.Tracks)
    paths.push_back(track.Path);
  FAlbum.Extras = Preferences.IncludeExtras && !paths.empty()
                      ? FindAlbumExtras(paths, Preferences.ExtraPatterns)
                      : std::vector<TExtraFile>();
  Notify(TChange::Tracks);
}

namespace {
unsigned TaggedTrackNumber(const TTrackEntry& track) {
  return track.Info && track.Info->HasTag ? LeadingNumber(track.Info->Track) : 0;
}

} // namespace

bool TAlbumSession::OrderByTrackNumbers() {
  std::vector<TTrackEntry>& tracks = FAlbum.Tracks;
  if (tracks.empty() || std::any_of(tracks.begin(), tracks.end(),
                                    [](const TTrackEntry& t) { return TaggedTrackNumber(t) == 0; }))
    return false;
  std::stable_sort(tracks.begin(), tracks.end(), [](const TTrackEntry& a, const TTrackEntry& b) {
    return std::pair(TrackDiscNumber(a), TaggedTrackNumber(a)) <
           std::pair(TrackDiscNumber(b), TaggedTrackNumber(b));
  });
  Notify(TChange::Tracks);
  return true;
}

void TAlbumSession::AddTrack(const std::string& path, std::unique_ptr<TTrackInfo> record) {
  AddTrackRecord(FAlbum, FLists, path, std::move(record));
  UpdateTotals(); // while tracks are read, the totals follow the ones read so far
  Notify(TChange::Tracks);
}

void TAlbumSession::ClearTracks() {
  // Nothing the old tracks decided stays: totals, their texts, the compilation flag and
  // the answer to its question.
  FAlbum.FileName = "Untitled";
  FAlbum.Tracks.clear();
  FAlbum.Extras.clear();
  FAlbum.Analysis.reset();
  FAlbum.TotalBytes = 0;
  FAlbum.PlayingSeconds = 0;
  FAlbum.VariousArtists = false;
  FAlbum.Format.clear();
  FAlbum.Lossless = false;
  CompilationAnswer.reset();
  UpdateTotals();
  FLists = {};
  Notify(TChange::Tracks);
}

bool TAlbumSession::MoveTrack(std::size_t position, bool up) {
  std::vector<TTrackEntry>& tracks = FAlbum.Tracks;
  if (position >= tracks.size() || (up && position == 0) || (!up && position + 1 >= tracks.size()))
    return false;
  std::swap(tracks[position], tracks[up ? position - 1 : position + 1]);
  Notify(TChange::Tracks);
  return true;
}

void TAlbumSession::UpdateTotals() {
  FAlbum.PlayingTime = DurationToStr(FAlbum.PlayingSeconds);
  FAlbum.TotalSize = IntToAbbrStr(FAlbum.TotalBytes);
}

void TAlbumSession::FillFields() {
  FillAlbumBoxes(FAlbum, FLists, FTexts);
  Notify(TChange::Fields);
}

void TAlbumSession::SetTexts(const TAlbumFieldTexts& texts) {
  FTexts = texts;
  Notify(TChange::Fields);
}

void TAlbumSession::StoreFields() {
  FTexts.NewsGroups = &FNewsGroups;
  StoreAlbumFields(FAlbum, FTexts);
}

void TAlbumSession::SetNewsGroups(std::vector<std::string> groups) {
  SortIgnoringCase(groups);
  FNewsGroups = std::move(groups);
  Notify(TChange::NewsGroups);
}

void TAlbumSession::SetRecordField(const TAlbumField& field, const std::string& value) {
  if (field.Set)
    field.Set(FAlbum, value);
}

void TAlbumSession::SetRecordNewsGroups(std::vector<std::string> groups) {
  FNewsGroups = std::move(groups);
  FAlbum.NewsGroups = &FNewsGroups;
  Notify(TChange::NewsGroups);
}

std::string TAlbumSession::ExpandAgainstRecord(const std::string& templatePath) {
  UpdateTotals();
  TGenerate generator(FAlbum, templatePath);
  generator.Generate();
  return generator.Output;
}

TNfoDraft TAlbumSession::NfoText(TSaveRequest request) {
  StoreFields();
  request.Encoding = FEncoding;
  TSaveContext context(GetProgramFolder());
  PrepareTemplates(FAlbum, request, context);
  // What Save would compute it computes too; a track it cannot read shows its placeholder.
  MeasureWhatTheNfoShows(FAlbum, request, context);
  ComputeChecksumsTheNfoUses(FAlbum, request, context);
  return {GenerateNfoText(FAlbum, request, context), std::move(context.Problems)};
}

std::string TAlbumSession::DraftNfoText(TSaveRequest request) {
  StoreFields();
  request.Encoding = FEncoding;
  TSaveContext context(GetProgramFolder());
  MeasureWhatTheNfoShows(FAlbum, request, context);
  ComputeChecksumsTheNfoUses(FAlbum, request, context);
  return ::DraftNfoText(FAlbum, request, context);
}

std::string TAlbumSession::LiveNfoText() {
  StoreFields();
  TSaveRequest request;
  request.Encoding = FEncoding;
  request.UseVariousArtistsTemplate = CompilationAnswer.value_or(FAlbum.VariousArtists);
  TSaveContext context(GetProgramFolder());
  return AsItWillRead(::DraftNfoText(FAlbum, request, context), FEncoding);
}

TNfoDraft TAlbumSession::PreviewText(TSaveRequest request) {
  TNfoDraft draft = NfoText(std::move(request));
  draft.Text = AsItWillRead(draft.Text, FEncoding);
  return draft;
}

void TAlbumSession::SetEncoding(TNfoEncoding encoding) {
  FEncoding = encoding;
  Notify(TChange::Fields);
}

TSavePlan TAlbumSession::PlanSave(TSaveRequest request) {
  StoreFields();
  request.Encoding = FEncoding;
  TSaveContext context(GetProgramFolder());
  return ::PlanSave(FAlbum, std::move(request), context);
}

TSaveResult TAlbumSession::Save(const TSavePlan& plan, const TSaveAnswers& answers) {
  if (plan.Problem)
    return SaveFailure(plan.Problem->Message, plan.Problem->Path);
  const TSaveRequest request = AnsweredRequest(plan, answers);
  if (request.Wants(TDocumentRole::Nfo) &&
      !plan.UnmappableWith(answers.UseVariousArtistsTemplate).empty() && !answers.WriteUnmappable) {
    TSaveResult refused;
    refused.Cancelled = true;
    return refused;
  }
  StoreFields();
  TSaveContext context(GetProgramFolder());
  PrepareTemplates(FAlbum, request, context);
  TSaveResult saved = SaveAlbumDocuments(FAlbum, request, answers.ReplaceExisting, context);
  saved.Warnings = std::move(context.Problems);
  if (!saved.Saved())
    return saved;
  saved.Kept = answers.Keep;
  saved.NotWritten = plan.NotWritten;
  saved.Notes = std::move(context.Notes);
  for (TProblem& note : MeasuredNotes(FAlbum)) // measured for the documents, or kept
    saved.Notes.push_back(std::move(note));
  if (request.Wants(TDocumentRole::Nfo))
    FAlbum.FileName = request.NfoPath;
  if (answers.RememberTexts) {
    std::array<std::string, TRememberedLists::size()> texts;
    for (const TAlbumField& field : AlbumFields)
      if (const auto* text = std::get_if<std::string TAlbumFieldTexts::*>(&field.Text);
          text && field.Remembered)
        texts[*field.Remembered] = FTexts.**text;
    std::string failedPath;
    if (!SaveRememberedLists(GetProgramFolder(), Remembered, texts, &failedPath))
      saved.Problem = TProblem{std::string(ErrorMessage(ecOpenForWriting)), failedPath};
  }
  Notify(TChange::Tracks); // the album's file name changed
  return saved;
}
