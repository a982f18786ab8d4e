#include "decoder.h"

#include <pthread.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "compression_libraries.h"
#include "output.h"

namespace {

// Decoded text is handed to the reader in chunks, through a ring of RING of
// them: the decoder fills one while the reader empties another. Small enough
// that the whole decoder stays within a few MB, large enough that the handing
// over costs nothing next to the decoding.
constexpr std::size_t CHUNK = std::size_t{1} << 17;
constexpr std::size_t RING = 4;
constexpr std::size_t COMPRESSED_BLOCK = std::size_t{1} << 16;

// How a decoder ended.
enum class Outcome { end, corrupt, ends_early, memory, read_error, stopped };

constexpr unsigned char GZIP_MAGIC[] = {0x1f, 0x8b, 0x08};
constexpr unsigned char XZ_MAGIC[] = {0xfd, '7', 'z', 'X', 'Z', 0x00};
constexpr unsigned char BZIP2_MAGIC[] = {'B', 'Z', 'h'};
constexpr unsigned char ZSTD_MAGIC[] = {0x28, 0xb5, 0x2f, 0xfd};

bool starts_with(const unsigned char* head, std::size_t length, const unsigned char* magic, std::size_t magic_length) {
  return length >= magic_length && std::memcmp(head, magic, magic_length) == 0;
}

}  // namespace

Compression detect_compression(const unsigned char* head, std::size_t length) {
  if (starts_with(head, length, GZIP_MAGIC, sizeof GZIP_MAGIC)) return Compression::gzip;
  if (starts_with(head, length, XZ_MAGIC, sizeof XZ_MAGIC)) return Compression::xz;
  // "BZh" and the block size, a digit from 1 to 9.
  if (starts_with(head, length, BZIP2_MAGIC, sizeof BZIP2_MAGIC) && length > 3 && head[3] >= '1' &&
      head[3] <= '9') {
    return Compression::bzip2;
  }
  if (starts_with(head, length, ZSTD_MAGIC, sizeof ZSTD_MAGIC)) return Compression::zstd;
  // A zstd file may begin with a skippable frame: 0x184D2A50 to 0x184D2A5F.
  if (length >= 4 && (head[0] & 0xf0) == 0x50 && head[1] == 0x2a && head[2] == 0x4d && head[3] == 0x18) {
    return Compression::zstd;
  }
  return Compression::none;
}

const char* compression_name(Compression format) {
  switch (format) {
    case Compression::gzip: return "gzip";
    case Compression::xz: return "xz";
    case Compression::bzip2: return "bzip2";
    case Compression::zstd: return "zstd";
    case Compression::none: break;
  }
  return "plain";
}

bool can_decompress(Compression format) {
  switch (format) {
#if defined(SATVET_WITH_GZIP)
    case Compression::gzip: return true;
#endif
#if defined(SATVET_WITH_XZ)
    case Compression::xz: return true;
#endif
#if defined(SATVET_WITH_BZIP2)
    case Compression::bzip2: return true;
#endif
#if defined(SATVET_WITH_ZSTD)
    case Compression::zstd: return true;
#endif
    default: return false;
  }
}

struct Decoder {
  struct Chunk {
    std::size_t size;
    char data[CHUNK];
  };

  Compression format;
  std::FILE* stream;
  const char* path;
  Decoder* next_running;  // the list of decoders not yet stopped

  // Decoder thread only: compressed bytes read and not yet decoded, and how far
  // the chunk being filled (chunk number `produced`) is.
  unsigned char input[COMPRESSED_BLOCK];
  const unsigned char* next = input;
  std::size_t available = 0;
  bool input_ended = false;
  std::size_t filling = 0;

  // Chunk n is ring[n % RING]. Chunks before `produced` are decoded, chunks
  // before `consumed` are read; the decoder writes `produced`, the reader
  // `consumed`, both under `lock`.
  Chunk ring[RING];
  pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t changed = PTHREAD_COND_INITIALIZER;  // signalled after each change
  std::size_t produced = 0;
  std::size_t consumed = 0;
  bool finished = false;  // the decoder has ended; `outcome` says how
  Outcome outcome = Outcome::end;
  bool stopping = false;  // the reader wants no more

  // Reader thread only: bytes of chunk `consumed` already read.
  std::size_t taken = 0;

  // The decoder thread, a POSIX thread (the Windows build's runtime has them
  // too): C++'s std::thread would bring the C++ runtime's exception machinery
  // into the program, and its pages into every run, compressed or not.
  pthread_t thread;
  bool joinable = false;
};

namespace {

// Holds a decoder's lock from its construction to its end or unlock().
class Hold {
 public:
  explicit Hold(Decoder& d) : d_(d) { pthread_mutex_lock(&d_.lock); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
  ~Hold() { unlock(); }

  // Waits until ready() holds, the lock released while it waits.
  template <typename Ready>
  void wait_until(Ready ready) {
    while (!ready()) pthread_cond_wait(&d_.changed, &d_.lock);
  }

  void unlock() {
    if (held_) pthread_mutex_unlock(&d_.lock);
    held_ = false;
  }

 private:
  Decoder& d_;
  bool held_ = true;
};

// Wakes every thread that waits on the decoder: after a change, made under its lock.
void signal_change(Decoder& d) { pthread_cond_broadcast(&d.changed); }

// Decoder thread: reads more compressed bytes after those not yet decoded.
// At the end of the file sets input_ended.
Outcome read_input(Decoder& d) {
  if (d.available > 0 && d.next != d.input) std::memmove(d.input, d.next, d.available);
  d.next = d.input;
  std::size_t got = std::fread(d.input + d.available, 1, COMPRESSED_BLOCK - d.available, d.stream);
  if (got == 0) {
    if (std::ferror(d.stream)) return Outcome::read_error;
    d.input_ended = true;
  }
  d.available += got;
  return Outcome::end;
}

// Decoder thread: the decoder's call took input up to `next`.
void took_input(Decoder& d, const void* next) {
  const auto* up_to = static_cast<const unsigned char*>(next);
  d.available -= static_cast<std::size_t>(up_to - d.next);
  d.next = up_to;
}

void publish(Decoder& d) {
  d.ring[d.produced % RING].size = d.filling;
  {
    Hold hold(d);
    ++d.produced;
  }
  signal_change(d);
  d.filling = 0;
}

// Decoder thread: room for decoded text, `room` bytes at the returned place;
// waits for the reader to free a chunk. nullptr when the reader has stopped it.
char* output_space(Decoder& d, std::size_t& room) {
  if (d.filling == CHUNK) publish(d);
  if (d.filling == 0) {
    Hold hold(d);
    hold.wait_until([&] { return d.stopping || d.produced - d.consumed < RING; });
    if (d.stopping) return nullptr;
  }
  room = CHUNK - d.filling;
  return d.ring[d.produced % RING].data + d.filling;
}

// Decoder thread: after the end of one stream, tells whether another stream of
// the same format follows (as the command-line tools read concatenated files),
// the file ends, or other data follows, which is corrupt. Where zero_padding,
// zero bytes up to the end of the file are passed over, as gzip -d does.
Outcome after_stream(Decoder& d, const unsigned char* magic, std::size_t magic_length, bool zero_padding,
                     bool& another) {
  another = false;
  while (d.available < magic_length && !d.input_ended) {
    if (Outcome failed = read_input(d); failed != Outcome::end) return failed;
  }
  if (d.available == 0) return Outcome::end;
  if (starts_with(d.next, d.available, magic, magic_length)) {
    another = true;
    return Outcome::end;
  }
  while (zero_padding && d.available > 0 && *d.next == 0) {
    took_input(d, d.next + 1);
    if (d.available == 0 && !d.input_ended) {
      if (Outcome failed = read_input(d); failed != Outcome::end) return failed;
    }
  }
  return zero_padding && d.available == 0 ? Outcome::end : Outcome::corrupt;
}

// Decoder thread: after the end of one xz stream, passes over stream padding
// (zero bytes, a multiple of four) and tells whether another stream follows or
// the file ends; other data, or padding of another length, is corrupt. (liblzma
// reads concatenated streams itself, but takes a few bytes of anything for the
// start of a stream header, and reports them as a stream that ends early.)
Outcome after_xz_stream(Decoder& d, bool& another) {
  another = false;
  std::size_t zeros = 0;
  for (;;) {
    if (d.available == 0) {
      if (d.input_ended) break;
      if (Outcome failed = read_input(d); failed != Outcome::end) return failed;
    } else if (*d.next == 0) {
      took_input(d, d.next + 1);
      ++zeros;
    } else {
      break;
    }
  }
  if (zeros % 4 != 0) return Outcome::corrupt;
  if (d.available == 0) return Outcome::end;
  while (d.available < sizeof XZ_MAGIC && !d.input_ended) {
    if (Outcome failed = read_input(d); failed != Outcome::end) return failed;
  }
  another = starts_with(d.next, d.available, XZ_MAGIC, sizeof XZ_MAGIC);
  return another ? Outcome::end : Outcome::corrupt;
}

// Each decode_* function decodes the whole file on the decoder thread, handing
// its text out through output_space, and says how it ended.

// Decoder thread, at the start of each step of a decode loop: reads more input
// when all of it is decoded, and finds room for text. nullptr, with the outcome
// to end with, when the loop must end.
char* start_step(Decoder& d, std::size_t& room, Outcome& outcome) {
  if (d.available == 0 && !d.input_ended) {
    if (outcome = read_input(d); outcome != Outcome::end) return nullptr;
  }
  char* out = output_space(d, room);
  if (out == nullptr) outcome = Outcome::stopped;
  return out;
}

#if defined(SATVET_WITH_GZIP)
Outcome decode_gzip(Decoder& d) {
  z_stream z{};
  // 16 + 15: a gzip wrapper around a deflate stream with a window of 32 KiB
  // (the call that zlib's inflateInit2 macro makes).
  if (zlib.inflateInit2_(&z, 16 + 15, ZLIB_VERSION, static_cast<int>(sizeof z)) != Z_OK) {
    return Outcome::memory;
  }
  Outcome outcome = Outcome::end;
  for (;;) {
    std::size_t room;
    char* out = start_step(d, room, outcome);
    if (out == nullptr) break;
    z.next_in = const_cast<Bytef*>(d.next);
    z.avail_in = static_cast<uInt>(d.available);
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = static_cast<uInt>(room);
    const int status = zlib.inflate(&z, Z_NO_FLUSH);
    took_input(d, z.next_in);
    d.filling += room - z.avail_out;
    if (status == Z_STREAM_END) {
      bool another;
      if (outcome = after_stream(d, GZIP_MAGIC, 2, true, another); outcome != Outcome::end || !another) break;
      zlib.inflateReset(&z);
    } else if (status == Z_BUF_ERROR) {
      // No progress without more input: there is none.
      outcome = Outcome::ends_early;
      break;
    } else if (status != Z_OK) {
      outcome = status == Z_MEM_ERROR ? Outcome::memory : Outcome::corrupt;
      break;
    }
  }
  zlib.inflateEnd(&z);
  return outcome;
}
#endif

#if defined(SATVET_WITH_XZ)
Outcome decode_xz(Decoder& d) {
  lzma_stream s = LZMA_STREAM_INIT;
  // One stream at a time; after_xz_stream reads on as xz -d reads concatenated
  // streams and stream padding.
  if (liblzma.lzma_stream_decoder(&s, UINT64_MAX, 0) != LZMA_OK) return Outcome::memory;
  Outcome outcome = Outcome::end;
  for (;;) {
    std::size_t room;
    char* out = start_step(d, room, outcome);
    if (out == nullptr) break;
    s.next_in = d.next;
    s.avail_in = d.available;
    s.next_out = reinterpret_cast<std::uint8_t*>(out);
    s.avail_out = room;
    const lzma_ret status = liblzma.lzma_code(&s, d.input_ended ? LZMA_FINISH : LZMA_RUN);
    took_input(d, s.next_in);
    d.filling += room - s.avail_out;
    if (status == LZMA_OK) continue;
    if (status == LZMA_STREAM_END) {
      bool another;
      if (outcome = after_xz_stream(d, another); outcome == Outcome::end && another) {
        liblzma.lzma_end(&s);
        s = LZMA_STREAM_INIT;
        if (liblzma.lzma_stream_decoder(&s, UINT64_MAX, 0) != LZMA_OK) return Outcome::memory;
        continue;
      }
    } else if (status == LZMA_BUF_ERROR) {
      outcome = Outcome::ends_early;
    } else if (status == LZMA_MEM_ERROR || status == LZMA_MEMLIMIT_ERROR) {
      outcome = Outcome::memory;
    } else {
      outcome = Outcome::corrupt;
    }
    break;
  }
  liblzma.lzma_end(&s);
  return outcome;
}
#endif

#if defined(SATVET_WITH_BZIP2)
Outcome decode_bzip2(Decoder& d) {
  bz_stream b{};
  if (libbz2.BZ2_bzDecompressInit(&b, 0, 0) != BZ_OK) return Outcome::memory;
  Outcome outcome = Outcome::end;
  for (;;) {
    std::size_t room;
    char* out = start_step(d, room, outcome);
    if (out == nullptr) break;
    b.next_in = reinterpret_cast<char*>(const_cast<unsigned char*>(d.next));
    b.avail_in = static_cast<unsigned>(d.available);
    b.next_out = out;
    b.avail_out = static_cast<unsigned>(room);
    const int status = libbz2.BZ2_bzDecompress(&b);
    const std::size_t before = d.available;
    took_input(d, b.next_in);
    const std::size_t written = room - b.avail_out;
    d.filling += written;
    if (status == BZ_STREAM_END) {
      bool another;
      if (outcome = after_stream(d, BZIP2_MAGIC, sizeof BZIP2_MAGIC, false, another); outcome != Outcome::end || !another) {
        break;
      }
      libbz2.BZ2_bzDecompressEnd(&b);
      b = bz_stream{};
      if (libbz2.BZ2_bzDecompressInit(&b, 0, 0) != BZ_OK) return Outcome::memory;
    } else if (status == BZ_OK) {
      // No progress, and no input left to make any: the stream is cut short.
      if (written == 0 && d.available == before && d.available == 0 && d.input_ended) {
        outcome = Outcome::ends_early;
        break;
      }
    } else {
      outcome = status == BZ_MEM_ERROR ? Outcome::memory : Outcome::corrupt;
      break;
    }
  }
  libbz2.BZ2_bzDecompressEnd(&b);
  return outcome;
}
#endif

#if defined(SATVET_WITH_ZSTD)
Outcome decode_zstd(Decoder& d) {
  ZSTD_DCtx* context = libzstd.ZSTD_createDCtx();
  if (context == nullptr) return Outcome::memory;
  Outcome outcome = Outcome::end;
  std::size_t hint = 1;   // 0 once a frame is whole and all its text handed out
  bool out_full = false;  // the last call filled its room: text may still be held
  for (;;) {
    if (d.available == 0 && !out_full) {
      if (!d.input_ended) {
        if (outcome = read_input(d); outcome != Outcome::end) break;
      }
      if (d.available == 0) {
        // Several frames follow each other freely; the file must end after one.
        outcome = hint == 0 ? Outcome::end : Outcome::ends_early;
        break;
      }
    }
    std::size_t room;
    char* out = output_space(d, room);
    if (out == nullptr) {
      outcome = Outcome::stopped;
      break;
    }
    ZSTD_inBuffer in{d.next, d.available, 0};
    ZSTD_outBuffer text{out, room, 0};
    hint = libzstd.ZSTD_decompressStream(context, &text, &in);
    took_input(d, d.next + in.pos);
    d.filling += text.pos;
    if (libzstd.ZSTD_isError(hint)) {
      const bool memory = libzstd.ZSTD_getErrorCode(hint) == ZSTD_error_memory_allocation;
      outcome = memory ? Outcome::memory : Outcome::corrupt;
      break;
    }
    out_full = text.pos == text.size;
  }
  libzstd.ZSTD_freeDCtx(context);
  return outcome;
}
#endif

void run_decoder(Decoder* d) {
  Outcome outcome = Outcome::corrupt;
  switch (d->format) {
#if defined(SATVET_WITH_GZIP)
    case Compression::gzip: outcome = decode_gzip(*d); break;
#endif
#if defined(SATVET_WITH_XZ)
    case Compression::xz: outcome = decode_xz(*d); break;
#endif
#if defined(SATVET_WITH_BZIP2)
    case Compression::bzip2: outcome = decode_bzip2(*d); break;
#endif
#if defined(SATVET_WITH_ZSTD)
    case Compression::zstd: outcome = decode_zstd(*d); break;
#endif
    default: break;
  }
  if (d->filling > 0) publish(*d);
  {
    Hold hold(*d);
    d->finished = true;
    d->outcome = outcome;
  }
  signal_change(*d);
}

void* decoder_thread(void* d) {
  run_decoder(static_cast<Decoder*>(d));
  return nullptr;
}

[[noreturn]] void report(const Decoder& d, Outcome outcome) {
  const char* name = compression_name(d.format);
  const char* path = d.path;
  switch (outcome) {
    case Outcome::corrupt: fatal("error reading '%s': the %s data is corrupt\n", path, name);
    case Outcome::ends_early: fatal("error reading '%s': the %s data ends early\n", path, name);
    case Outcome::memory: fatal("error reading '%s': not enough memory to decompress the %s data\n", path, name);
    default: fatal("error reading '%s'\n", path);
  }
}

// Reader thread: releases chunk `consumed` to the decoder.
void release_chunk(Decoder& d) {
  {
    Hold hold(d);
    ++d.consumed;
  }
  signal_change(d);
  d.taken = 0;
}

// Reader thread: waits for the decoder to end, releasing every chunk it hands
// out unread, and returns how it ended.
Outcome read_to_end(Decoder& d) {
  for (;;) {
    Hold hold(d);
    hold.wait_until([&] { return d.produced != d.consumed || d.finished; });
    if (d.produced == d.consumed) return d.outcome;
    hold.unlock();
    release_chunk(d);
  }
}

Decoder* running;  // decoders started and not yet stopped

// Run by fatal before it writes its message (see read_decoded).
// Reader thread: stops the decoder's thread and waits for it to end; the
// decoder itself stays, to be freed by stop_decoder.
void halt(Decoder& d) {
  {
    Hold hold(d);
    d.stopping = true;
  }
  signal_change(d);
  if (d.joinable) pthread_join(d.thread, nullptr);
  d.joinable = false;
}

// Run by fatal before it writes its message (see read_decoded). Every decoder's
// thread has ended when it returns: the process is about to end, and no thread
// of ours may be left reading then (Windows kills a process that ends while one
// is).
void check_running_decoders() {
  static bool checking = false;
  if (!checking) {
    struct Checking {
      Checking() { checking = true; }
      ~Checking() { checking = false; }
    } guard;
    for (Decoder* d = running; d != nullptr; d = d->next_running) {
      const Outcome outcome = read_to_end(*d);
      // Reported through fatal again, which halts every decoder then.
      if (outcome != Outcome::end && outcome != Outcome::stopped) report(*d, outcome);
    }
  }
  for (Decoder* d = running; d != nullptr; d = d->next_running) halt(*d);
}

// Frees a decoder whose thread has ended or never started.
void destroy(Decoder* d) {
  pthread_cond_destroy(&d->changed);
  pthread_mutex_destroy(&d->lock);
  d->~Decoder();
  std::free(d);
}

}  // namespace

Decoder* start_decoder(Compression format, std::FILE* stream, const char* path, const unsigned char* head,
                       std::size_t head_length) {
  // Not by new, which would bring the C++ runtime's exceptions in (see Decoder::thread).
  void* memory = std::malloc(sizeof(Decoder));
  if (memory == nullptr) {
    fatal("error reading '%s': not enough memory to decompress the %s data\n", path, compression_name(format));
  }
  auto* d = new (memory) Decoder;
  d->format = format;
  d->stream = stream;
  d->path = path;
  std::memcpy(d->input, head, head_length);
  d->available = head_length;
  if (pthread_create(&d->thread, nullptr, decoder_thread, d) != 0) {
    // (Before it is listed as running: a fatal error reads every running
    // decoder to its end, and this one would never end.)
    destroy(d);
    fatal("error reading '%s': cannot start a thread to decompress the %s data\n", path, compression_name(format));
  }
  d->joinable = true;
  d->next_running = running;
  running = d;
  set_fatal_check(check_running_decoders);
  return d;
}

std::size_t read_decoded(Decoder* d, char* dest, std::size_t capacity) {
  std::size_t copied = 0;
  while (copied < capacity) {
    {
      Hold hold(*d);
      // Wait only while nothing has been copied: the reader goes on with what it has.
      if (copied == 0) hold.wait_until([&] { return d->produced != d->consumed || d->finished; });
      if (d->produced == d->consumed) {
        if (copied > 0 || d->outcome == Outcome::end) break;
        const Outcome outcome = d->outcome;
        hold.unlock();
        report(*d, outcome);
      }
    }
    const Decoder::Chunk& chunk = d->ring[d->consumed % RING];
    std::size_t n = chunk.size - d->taken;
    if (n > capacity - copied) n = capacity - copied;
    std::memcpy(dest + copied, chunk.data + d->taken, n);
    copied += n;
    d->taken += n;
    if (d->taken == chunk.size) release_chunk(*d);
  }
  return copied;
}

void finish_decoder(Decoder* d) {
  const Outcome outcome = read_to_end(*d);
  if (outcome != Outcome::end) report(*d, outcome);
  stop_decoder(d);
}

void stop_decoder(Decoder* d) {
  halt(*d);
  Decoder** link = &running;
  while (*link != d) link = &(*link)->next_running;
  *link = d->next_running;
  destroy(d);
}
