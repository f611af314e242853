#pragma once
// Bodies go out through content providers only: the server then knows how many bytes it really
// wrote (a body cut short, by a fault or by the client, counts what left), and cpp-httplib never
// compresses them, so a range and an entity tag always refer to the file's own bytes.
#include <httplib.h>

#include <cstdint>
#include <memory>
#include <string>

namespace addon_server {

enum class Delivery {
  kPlain,     // the body as announced
  kSlow,      // 1 KiB pieces, 50 ms apart
  kNoLength,  // no Content-Length; closing the connection ends the body
  kCutHalf,   // announces the length, sends half of it and hangs up
  kCut90,     // announces the length, sends 90% of it and hangs up
};

// `length` bytes of `bytes` from `offset` as the response's body.
void sendBody(httplib::Response& res, std::shared_ptr<const std::string> bytes, size_t offset, size_t length,
              const std::string& contentType, Delivery delivery = Delivery::kPlain);
void sendText(httplib::Response& res, std::string text, const std::string& contentType);

// Body bytes written for the request this thread is answering; the logger takes them (and zeroes
// the count) once the response has gone.
uint64_t takeBodyBytesSent();

}  // namespace addon_server
