// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// libavcodec, loaded on the first AAC or ALAC track rather than at the program's start: its
// ninety dependencies cost every run, a listing of MP3s too, more time than the work itself.
// The header gives the types; the library found must be of the same major version.
#include <string>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
}

// The library's functions the decoding uses.
struct TAvcodec {
  decltype(&avcodec_find_decoder) FindDecoder;
  decltype(&avcodec_alloc_context3) AllocContext;
  decltype(&avcodec_free_context) FreeContext;
  decltype(&avcodec_open2) Open;
  decltype(&avcodec_send_packet) SendPacket;
  decltype(&avcodec_receive_frame) ReceiveFrame;
  decltype(&av_packet_alloc) PacketAlloc;
  decltype(&av_packet_free) PacketFree;
  decltype(&av_new_packet) NewPacket;
  decltype(&av_packet_unref) PacketUnref;
  decltype(&av_frame_alloc) FrameAlloc;
  decltype(&av_frame_free) FrameFree;
  decltype(&av_mallocz) Mallocz;
  decltype(&av_sample_fmt_is_planar) SampleFormatIsPlanar;
  decltype(&av_get_packed_sample_fmt) PackedSampleFormat;
};

// The functions, loaded once (its log silenced: a damaged frame is the result's to tell, not
// the console's); nullptr when the library or one of them is not there.
const TAvcodec* LoadAvcodec();

// What a track of this codec (AAC, ALAC) says when LoadAvcodec found nothing.
std::string AvcodecMissing(std::string_view codec);
