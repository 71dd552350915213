// libcurl for the programs that link Xerces statically. Xerces calls libcurl only to fetch XML
// from the network, which no parser here does (entity resolution is off in every one), yet
// linking it loads libcurl and with it the TLS, SSH, Kerberos and LDAP libraries at every start:
// about twenty libraries, 17 to 20 ms and 5 MB. These definitions take the place of libcurl's
// and load the real library on their first call, so a network entity would still be fetched.
// The global set-up and clean-up stay do-nothing functions (XmlDocument.cpp); the real set-up
// runs when the library is loaded.
#include <dlfcn.h>
#include <sys/select.h>

#include <cstdarg>
#include <mutex>

namespace {

// The library Debian's Xerces is built against, then the OpenSSL flavour.
constexpr const char* kLibraries[] = {"libcurl-gnutls.so.4", "libcurl.so.4"};
constexpr int kCurlFailedInit = 2;      // CURLE_FAILED_INIT
constexpr int kCurlMultiBadHandle = 1;  // CURLM_BAD_HANDLE
constexpr long kCurlGlobalDefault = 3;  // CURL_GLOBAL_SSL | CURL_GLOBAL_WIN32

void* Library() {
    static void* handle = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        for (const char* name : kLibraries)
            if ((handle = dlopen(name, RTLD_NOW | RTLD_LOCAL)) != nullptr)
                break;
        if (!handle)
            return;
        if (auto init = reinterpret_cast<int (*)(long)>(dlsym(handle, "curl_global_init")))
            init(kCurlGlobalDefault);
    });
    return handle;
}

template <typename Fn>
Fn Real(const char* name) {
    void* handle = Library();
    return handle ? reinterpret_cast<Fn>(dlsym(handle, name)) : nullptr;
}

// Option numbers say the type of curl_easy_setopt's argument: below 10000 a long, below 30000
// a pointer (data or function), below 40000 a 64-bit offset, above a pointer (blob).
constexpr int kPointerOptions = 10000;
constexpr int kOffsetOptions = 30000;
constexpr int kBlobOptions = 40000;

}  // namespace

#define QV_CURL_EXPORT extern "C" __attribute__((visibility("hidden")))

struct curl_slist;
struct CURLMsg;

QV_CURL_EXPORT void* curl_easy_init() {
    auto fn = Real<void* (*)()>("curl_easy_init");
    return fn ? fn() : nullptr;
}

QV_CURL_EXPORT void curl_easy_cleanup(void* curl) {
    if (auto fn = Real<void (*)(void*)>("curl_easy_cleanup"))
        fn(curl);
}

QV_CURL_EXPORT int curl_easy_setopt(void* curl, int option, ...) {
    va_list ap;
    va_start(ap, option);
    int result = kCurlFailedInit;
    if (option < kPointerOptions) {
        long value = va_arg(ap, long);
        if (auto fn = Real<int (*)(void*, int, long)>("curl_easy_setopt"))
            result = fn(curl, option, value);
    } else if (option >= kOffsetOptions && option < kBlobOptions) {
        long long value = va_arg(ap, long long);
        if (auto fn = Real<int (*)(void*, int, long long)>("curl_easy_setopt"))
            result = fn(curl, option, value);
    } else {
        void* value = va_arg(ap, void*);
        if (auto fn = Real<int (*)(void*, int, void*)>("curl_easy_setopt"))
            result = fn(curl, option, value);
    }
    va_end(ap);
    return result;
}

QV_CURL_EXPORT int curl_easy_getinfo(void* curl, int info, ...) {
    va_list ap;
    va_start(ap, info);
    void* out = va_arg(ap, void*);  // every query takes one pointer
    va_end(ap);
    auto fn = Real<int (*)(void*, int, void*)>("curl_easy_getinfo");
    return fn ? fn(curl, info, out) : kCurlFailedInit;
}

QV_CURL_EXPORT void* curl_multi_init() {
    auto fn = Real<void* (*)()>("curl_multi_init");
    return fn ? fn() : nullptr;
}

QV_CURL_EXPORT int curl_multi_add_handle(void* multi, void* curl) {
    auto fn = Real<int (*)(void*, void*)>("curl_multi_add_handle");
    return fn ? fn(multi, curl) : kCurlMultiBadHandle;
}

QV_CURL_EXPORT int curl_multi_remove_handle(void* multi, void* curl) {
    auto fn = Real<int (*)(void*, void*)>("curl_multi_remove_handle");
    return fn ? fn(multi, curl) : kCurlMultiBadHandle;
}

QV_CURL_EXPORT int curl_multi_cleanup(void* multi) {
    auto fn = Real<int (*)(void*)>("curl_multi_cleanup");
    return fn ? fn(multi) : kCurlMultiBadHandle;
}

QV_CURL_EXPORT int curl_multi_fdset(void* multi, fd_set* read, fd_set* write, fd_set* error,
                                    int* maxFd) {
    auto fn = Real<int (*)(void*, fd_set*, fd_set*, fd_set*, int*)>("curl_multi_fdset");
    return fn ? fn(multi, read, write, error, maxFd) : kCurlMultiBadHandle;
}

QV_CURL_EXPORT CURLMsg* curl_multi_info_read(void* multi, int* left) {
    auto fn = Real<CURLMsg* (*)(void*, int*)>("curl_multi_info_read");
    return fn ? fn(multi, left) : nullptr;
}

QV_CURL_EXPORT int curl_multi_perform(void* multi, int* running) {
    auto fn = Real<int (*)(void*, int*)>("curl_multi_perform");
    return fn ? fn(multi, running) : kCurlMultiBadHandle;
}

QV_CURL_EXPORT int curl_multi_timeout(void* multi, long* ms) {
    auto fn = Real<int (*)(void*, long*)>("curl_multi_timeout");
    return fn ? fn(multi, ms) : kCurlMultiBadHandle;
}

QV_CURL_EXPORT curl_slist* curl_slist_append(curl_slist* list, const char* text) {
    auto fn = Real<curl_slist* (*)(curl_slist*, const char*)>("curl_slist_append");
    return fn ? fn(list, text) : nullptr;
}

QV_CURL_EXPORT void curl_slist_free_all(curl_slist* list) {
    if (auto fn = Real<void (*)(curl_slist*)>("curl_slist_free_all"))
        fn(list);
}
