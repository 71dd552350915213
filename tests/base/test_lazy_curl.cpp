#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/XmlDocument.h"

// libcurl's functions as the program defines them (base/LazyCurl.cpp); Xerces calls these.
extern "C" {
struct curl_slist;
void* curl_easy_init();
void curl_easy_cleanup(void* curl);
int curl_easy_setopt(void* curl, int option, ...);
int curl_easy_getinfo(void* curl, int info, ...);
void* curl_multi_init();
int curl_multi_add_handle(void* multi, void* curl);
int curl_multi_remove_handle(void* multi, void* curl);
int curl_multi_cleanup(void* multi);
int curl_multi_timeout(void* multi, long* ms);
curl_slist* curl_slist_append(curl_slist* list, const char* text);
void curl_slist_free_all(curl_slist* list);
}

namespace {

bool CurlMapped() {
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str().find("libcurl") != std::string::npos;
}

// libcurl's own numbers: an option's type is its range.
constexpr int kVerbose = 41;                 // long
constexpr int kUrl = 10002;                  // pointer
constexpr int kWriteFunction = 20011;        // function pointer
constexpr int kResumeFromLarge = 30116;      // 64-bit offset
constexpr int kResponseCode = 0x200000 + 2;  // CURLINFO_RESPONSE_CODE, a long
constexpr int kOk = 0, kMultiOk = 0;

size_t Discard(char*, size_t size, size_t n, void*) {
    return size * n;
}

TEST(LazyCurl, LoadsOnlyOnFirstUseAndForwardsEveryKindOfArgument) {
    // Xerces set up and a document parsed: libcurl is not there.
    XmlPlatform platform;
    ASSERT_TRUE(platform.Ok());
    std::string error;
    ASSERT_TRUE(XmlDocument::ParseMemory("<a><b/></a>", &error)) << error;
    ASSERT_FALSE(CurlMapped()) << "libcurl loads at start again (a shared Xerces?)";

    void* curl = curl_easy_init();
    ASSERT_NE(curl, nullptr) << "libcurl could not be loaded";
    EXPECT_TRUE(CurlMapped());
    EXPECT_EQ(curl_easy_setopt(curl, kVerbose, 0L), kOk);
    EXPECT_EQ(curl_easy_setopt(curl, kUrl, "http://127.0.0.1:1/"), kOk);
    EXPECT_EQ(curl_easy_setopt(curl, kWriteFunction, &Discard), kOk);
    EXPECT_EQ(curl_easy_setopt(curl, kResumeFromLarge, static_cast<long long>(1) << 40), kOk);
    long code = -1;
    EXPECT_EQ(curl_easy_getinfo(curl, kResponseCode, &code), kOk);
    EXPECT_EQ(code, 0);

    void* multi = curl_multi_init();
    ASSERT_NE(multi, nullptr);
    EXPECT_EQ(curl_multi_add_handle(multi, curl), kMultiOk);
    long timeout = -2;
    EXPECT_EQ(curl_multi_timeout(multi, &timeout), kMultiOk);
    EXPECT_GE(timeout, -1);
    EXPECT_EQ(curl_multi_remove_handle(multi, curl), kMultiOk);
    EXPECT_EQ(curl_multi_cleanup(multi), kMultiOk);
    curl_easy_cleanup(curl);

    curl_slist* list = curl_slist_append(nullptr, "Accept: */*");
    ASSERT_NE(list, nullptr);
    list = curl_slist_append(list, "X-Second: 2");
    curl_slist_free_all(list);
}

}  // namespace
