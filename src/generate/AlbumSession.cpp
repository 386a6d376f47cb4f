// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/AlbumSession.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/Host.h"
#include "common/IntToAbbrStrUnit.h"
#include "generate/EncodingUnit.h"
#include "generate/NFOUnit.h"
#include "generate/SFVUnit.h"

#include <array>
#include <utility>

TAlbumSession::TAlbumSession(TPreferences preferences, TRememberedLists remembered)
    : Preferences(std::move(preferences)), Remembered(std::move(remembered)) {}

void TAlbumSession::LoadPreferences(const std::string& path) {
  Preferences = ReadPreferences(path);
  const auto encoding = EncodingNamed(Preferences.NfoEncoding);
  if (!encoding) {
    CurrentHost().ShowFileMessage(TMessageKind::Information,
                                  "NfoEncoding=" + Preferences.NfoEncoding +
                                      " is no encoding Tamberlon knows (utf-8, cp437 or "
                                      "windows-1252); utf-8 is used",
                                  path);
    Preferences.NfoEncoding = std::string(EncodingName(TNfoEncoding::Utf8));
  }
  SetEncoding(encoding.value_or(TNfoEncoding::Utf8));
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
  return ReadTracks(paths, withChecksum, callbacks);
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
  FAlbum.TotalBytes = 0;
  FAlbum.PlayingSeconds = 0;
  FAlbum.VariousArtists = false;
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

void TAlbumSession::AnswerCompilationQuestion(TSaveRequest& request) {
  if (request.UseVariousArtistsTemplate || !request.TemplatePath.empty())
    return;
  if (!FAlbum.VariousArtists) {
    request.UseVariousArtistsTemplate = false;
    return;
  }
  CompilationAnswer = CurrentHost().ShowMessage(TMessageKind::Confirmation,
                                                VariousArtistsQuestion) == TMessageResult::Yes;
  request.UseVariousArtistsTemplate = CompilationAnswer;
  Notify(TChange::Fields);
}

std::string TAlbumSession::NfoText(TSaveRequest request) {
  StoreFields();
  request.Encoding = FEncoding;
  AnswerCompilationQuestion(request);
  // What Save would compute it computes too; a track it cannot read shows its placeholder.
  ComputeChecksumsTheNfoUses(FAlbum, request);
  return GenerateNfoText(FAlbum, request);
}

std::string TAlbumSession::LiveNfoText() {
  StoreFields();
  TSaveRequest request;
  request.Encoding = FEncoding;
  request.UseVariousArtistsTemplate = CompilationAnswer.value_or(FAlbum.VariousArtists);
  request.Quietly = true;
  return AsItWillRead(GenerateNfoText(FAlbum, request), FEncoding);
}

std::string TAlbumSession::PreviewText(TSaveRequest request) {
  return AsItWillRead(NfoText(std::move(request)), FEncoding);
}

void TAlbumSession::SetEncoding(TNfoEncoding encoding) {
  FEncoding = encoding;
  Notify(TChange::Fields);
}

std::string TAlbumSession::Unmappable(TSaveRequest request) {
  StoreFields();
  request.Encoding = FEncoding;
  AnswerCompilationQuestion(request);
  return UnmappableCharacters(FAlbum, request);
}

TSaveOutcome TAlbumSession::Save(TSaveRequest request, bool interactive, bool rememberTexts) {
  StoreFields();
  request.Encoding = FEncoding;
  TSaveOutcome outcome;
  // A save dialog asked about the .nfo; the files beside it are asked about here.
  std::vector<std::string> kept;
  const auto mayWrite = [&](bool wanted, const std::string& path) {
    if (!wanted || !interactive || MayReplaceCompanion(path))
      return wanted;
    kept.push_back(path);
    return false;
  };
  request.WithSfv = mayWrite(request.WithSfv, SfvPathFor(request.NfoPath));
  request.WithM3u = mayWrite(request.WithM3u, M3uPathFor(request.NfoPath));
  AnswerCompilationQuestion(request);
  if (interactive) {
    const std::string unmappable = UnmappableCharacters(FAlbum, request);
    if (!unmappable.empty() &&
        CurrentHost().ShowMessage(TMessageKind::Confirmation,
                                  "The encoding " + std::string(EncodingCaption(request.Encoding)) +
                                      " has no place for these characters: " + unmappable +
                                      "\nSave the .NFO file with \"?\" in their place?") !=
            TMessageResult::Yes) {
      outcome.Cancelled = true;
      return outcome;
    }
  }
  const TSaveResult saved = SaveAlbumDocuments(FAlbum, request);
  if (!saved.Saved) {
    outcome.Exists = saved.Exists;
    CurrentHost().ShowFileMessage(TMessageKind::Error, saved.Message, saved.Path);
    return outcome;
  }
  outcome.Saved = true;
  outcome.Written = saved.Written;
  if (request.WithNfo)
    FAlbum.FileName = request.NfoPath;
  if (rememberTexts) {
    const std::array<std::string, 5> texts = {FTexts.RecordLabel, FTexts.RippedBy, FTexts.PostedBy,
                                              FTexts.Encoder, FTexts.Codec};
    std::string failedPath;
    if (!SaveRememberedLists(GetProgramFolder(), Remembered, texts, &failedPath)) {
      ShowError(ecOpenForWriting, failedPath);
      outcome.Saved = false;
      return outcome;
    }
  }
  outcome.Kept = kept;
  ReportCompanionsKept(kept);
  Notify(TChange::Tracks); // the album's file name changed
  return outcome;
}
