// HTTPS: a server whose certificate nobody trusts gets no transfer through, whichever way the program
// fetches (whole file, body fetch, into memory), and nothing it sent is kept; the same server signed
// by an authority the downloader trusts works. The certificate is made for the run.
#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>
#include <thread>

#include "common/file_system.h"
#include "platform/headless/curl_downloader.h"
#include "test_dir.h"
#include "test_server.h"

namespace qv::test {
namespace {

namespace dr = platform::download_result;
using platform::headless::CurlBodyFetcher;
using platform::headless::CurlDownloader;

struct PkeyFree {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct X509Free {
  void operator()(X509* c) const { X509_free(c); }
};

// A self-signed certificate for 127.0.0.1 and its key, as PEM files.
void makeCertificate(const std::string& certPath, const std::string& keyPath) {
  std::unique_ptr<EVP_PKEY, PkeyFree> key(EVP_EC_gen("P-256"));
  ASSERT_TRUE(key);
  std::unique_ptr<X509, X509Free> cert(X509_new());
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3600);
  X509_set_pubkey(cert.get(), key.get());
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(cert.get(), name);
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert.get(), cert.get(), nullptr, nullptr, 0);
  for (const auto& [nid, value] : {std::pair{NID_subject_alt_name, "IP:127.0.0.1"},
                                   std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    ASSERT_NE(ext, nullptr);
    X509_add_ext(cert.get(), ext, -1);
    X509_EXTENSION_free(ext);
  }
  ASSERT_GT(X509_sign(cert.get(), key.get(), EVP_sha256()), 0);
  std::FILE* c = std::fopen(certPath.c_str(), "wb");
  std::FILE* k = std::fopen(keyPath.c_str(), "wb");
  ASSERT_TRUE(c && k);
  PEM_write_X509(c, cert.get());
  PEM_write_PrivateKey(k, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
  std::fclose(c);
  std::fclose(k);
}

class HttpsTrustTest : public ::testing::Test {
 protected:
  void SetUp() override {
    makeCertificate(certPath, keyPath);
    server = std::make_unique<httplib::SSLServer>(certPath.c_str(), keyPath.c_str());
    server->Get("/a.zip", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(pattern(30000), "application/zip");
    });
    port = server->bind_to_any_port("127.0.0.1");
    thread = std::thread([this] { server->listen_after_bind(); });
    while (!server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  void TearDown() override {
    server->stop();
    thread.join();
  }
  std::string url() const { return "https://127.0.0.1:" + std::to_string(port) + "/a.zip"; }

  TestDir dir;
  std::string certPath = dir.file("server.pem");
  std::string keyPath = dir.file("server.key");
  std::unique_ptr<httplib::SSLServer> server;
  int port = 0;
  std::thread thread;
};

TEST_F(HttpsTrustTest, AnUntrustedCertificateRefusesEveryKindOfTransferAndKeepsNothing) {
  const std::string target = dir.file("a.zip");
  writeAll(target, "the old archive");
  CurlDownloader whole;
  EXPECT_NE(whole.download({url(), target, {}}, {}), dr::kOk);
  EXPECT_EQ(readAll(target), "the old archive");

  const std::string bodyPath = dir.file("a.zip.partial");
  writeAll(bodyPath, "");
  CurlBodyFetcher fetcher;
  bool headSeen = false;
  platform::BodyRequest request{url(), {}, bodyPath, {}, [&](const platform::AnswerHead&) {
                                  headSeen = true;
                                  return platform::BodyPlacement::Restart;
                                }};
  const platform::BodyAnswer answer = fetcher.fetchBody(request, {});
  EXPECT_NE(answer.result, dr::kOk);
  EXPECT_FALSE(headSeen);
  EXPECT_EQ(readAll(bodyPath), "");

  platform::headless::CurlGlobal global;
  const auto memory = platform::headless::fetchToMemory(url(), {});
  EXPECT_NE(memory.result, dr::kOk);
  EXPECT_TRUE(memory.body.empty());
  EXPECT_NE(memory.errorText.find("certificate"), std::string::npos) << memory.errorText;
}

TEST_F(HttpsTrustTest, TheSameServerWorksWhenItsAuthorityIsTrusted) {
  const std::string target = dir.file("a.zip");
  CurlDownloader whole({certPath});
  ASSERT_EQ(whole.download({url(), target, {}}, {}), dr::kOk);
  EXPECT_EQ(readAll(target), pattern(30000));
}

}  // namespace
}  // namespace qv::test
