#pragma once
// The add-on server's request log, one line per request ("GET /Data.xml 200 266"), which scripts/e2e
// names through QV_E2E_SERVER_LOG: what the program asked the server for, and how often.
#include <string>
#include <vector>

namespace qv::e2e {

// Every request so far as "METHOD PATH", in order; empty when the suite runs without the log.
std::vector<std::string> serverRequests();
// How often PATH ("/Data.xml") was asked for with GET.
int requestsFor(const std::string& path);
// The status of each answer to a GET of PATH, in order.
std::vector<int> answersTo(const std::string& path);
// Whether the log is there to be read (the suite was started through scripts/e2e).
bool serverLogAvailable();

}  // namespace qv::e2e
