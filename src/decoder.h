// Compressed input files: a file that begins with the magic bytes of gzip, xz,
// bzip2 or zstd is decompressed as it is read, and the input layer cuts its text
// into pieces exactly as it cuts a plain file's. The decoding runs on a thread of
// its own, ahead of the reader, so that decompressing and reading overlap as they
// do in a pipe from the standard tools; the reading itself stays on one thread.
#pragma once

#include <cstddef>
#include <cstdio>

enum class Compression { none, gzip, xz, bzip2, zstd };

// The most leading bytes that any format's magic needs.
constexpr std::size_t MAGIC_LENGTH = 6;

// The format that a file's first bytes announce: none when they are no magic
// that this program knows (a plain file, whatever its name).
Compression detect_compression(const unsigned char* head, std::size_t length);

// The format's usual name, for messages: "gzip", "xz", "bzip2", "zstd".
const char* compression_name(Compression format);

// Whether this build was made with the library for the format.
bool can_decompress(Compression format);

// Makes the library for a format that can_decompress ready: where the build
// loads its libraries when first needed (see compression_libraries.h), loads
// it, once. Returns nullptr when it is ready, else the name of the library that
// cannot be loaded (or lacks a function that satvet calls), for the message.
// Called before a decoder of the format starts.
const char* prepare_library(Compression format);

struct Decoder;

// Starts decoding `stream`, the file at `path`, in `format` (which
// can_decompress) on a thread of its own. head holds the first head_length bytes
// of the file, already read from the stream. The decoder owns nothing of the
// stream or the path: the caller keeps both.
Decoder* start_decoder(Compression format, std::FILE* stream, const char* path, const unsigned char* head,
                       std::size_t head_length);

// Copies up to `capacity` bytes of decompressed text to dest, waiting for the
// decoder when none is ready; returns how many, 0 at the end of the text. A
// compressed file that is corrupt, ends early or cannot be read ends the process
// with a message naming the file, once all the text before the fault is read.
//
// A fault is often found only at the end of a stream, by its check value, after
// its garbled text has been read: so while a decoder runs, every fatal error
// first reads its file to the end, and a fault found there is the error reported.
std::size_t read_decoded(Decoder* decoder, char* dest, std::size_t capacity);

// Reads the rest of the compressed file to its end, so that a fault after the
// text that was read is reported too (as read_decoded reports it), then stops
// the decoder and frees it.
void finish_decoder(Decoder* decoder);

// Stops the decoder's thread, wherever it is, and frees it.
void stop_decoder(Decoder* decoder);
