#include "db/client_library.h"

#include "core/exceptions.h"
#include "db/errors.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

namespace fs = std::filesystem;

const std::string kRealLibrary = "libfbclient.so.2";

// A fresh directory of this test process for library files that appear or vanish during a test.
fs::path ScratchDirectory() {
    const fs::path directory = fs::temp_directory_path() / ("qv-libs-" + std::to_string(getpid()));
    fs::create_directories(directory);
    return directory;
}

std::string ExceptionText(const std::function<void()>& action) {
    try {
        action();
    } catch (const EFbError& error) {
        return "unexpected EFbError: " + error.Message();
    } catch (const Exception& error) {
        return error.Message();
    }
    return "no exception";
}

TEST(ClientLibrary, RealLibraryLoadsUnderItsNameWithTheVersionItReports) {
    void* module = dlopen(kRealLibrary.c_str(), RTLD_NOW);
    ASSERT_NE(module, nullptr);
    const auto major = reinterpret_cast<int (*)()>(dlsym(module, "isc_get_client_major_version"));
    const auto minor = reinterpret_cast<int (*)()>(dlsym(module, "isc_get_client_minor_version"));

    IFbClientLibraryPtr library = AcquireClientLibrary(kRealLibrary);
    EXPECT_EQ(library->LibraryName(), kRealLibrary);
    EXPECT_EQ(library->ClientMajorVersion(), major());
    EXPECT_EQ(library->ClientMinorVersion(), minor());
    EXPECT_GE(library->ClientMajorVersion(), 3);
    EXPECT_TRUE(library->HasCancelOperation());
    char encoded[4] = {1, 2, 0, 0};
    EXPECT_EQ(library->isc_vax_integer(encoded, 2), 0x0201) << "pass-through returns the library's result";
    dlclose(module);
}

TEST(ClientLibrary, OneBindingPerExactNameAndTheDefaultNameOpensTheFirebirdClient) {
    IFbClientLibraryPtr first = AcquireClientLibrary(kRealLibrary);
    IFbClientLibraryPtr second = AcquireClientLibrary(kRealLibrary);
    EXPECT_EQ(first.get(), second.get());

    // Two spellings of one file differ in case only: two bindings.
    const fs::path directory = ScratchDirectory();
    const fs::path lower = directory / "libclient.so";
    const fs::path upper = directory / "LIBCLIENT.so";
    void* module = dlopen(kRealLibrary.c_str(), RTLD_NOW);
    link_map* map = nullptr;
    ASSERT_EQ(dlinfo(module, RTLD_DI_LINKMAP, &map), 0);
    fs::create_symlink(map->l_name, lower);
    fs::create_symlink(map->l_name, upper);
    IFbClientLibraryPtr lowerBinding = AcquireClientLibrary(lower.string());
    IFbClientLibraryPtr upperBinding = AcquireClientLibrary(upper.string());
    EXPECT_NE(lowerBinding.get(), upperBinding.get());
    EXPECT_EQ(lowerBinding.get(), AcquireClientLibrary(lower.string()).get());
    dlclose(module);

    IFbClientLibraryPtr defaultBinding = AcquireClientLibrary("gds32.dll");
    EXPECT_EQ(defaultBinding->LibraryName(), "gds32.dll");
    EXPECT_NE(defaultBinding.get(), first.get()) << "registered under the name asked for";
    EXPECT_EQ(defaultBinding->ClientMajorVersion(), first->ClientMajorVersion());
    EXPECT_EQ(ClientLibraryFileName("gds32.dll"), kRealLibrary);
    EXPECT_EQ(ClientLibraryFileName("GDS32.DLL"), "GDS32.DLL") << "any other name is opened as given";
    fs::remove_all(directory);
}

TEST(ClientLibrary, MissingFileFailsWithTheExactMessageAndLoadsOnceItAppears) {
    const fs::path directory = ScratchDirectory();
    const std::string name = (directory / "libquorvane-late.so").string();
    EXPECT_EQ(ExceptionText([&] { AcquireClientLibrary(name); }), "Can't load library " + name + " ");

    fs::copy_file(QV_FAKE_CLIENT_V5, name);
    IFbClientLibraryPtr library = AcquireClientLibrary(name);
    EXPECT_EQ(library->LibraryName(), name);
    fs::remove_all(directory);
}

TEST(ClientLibrary, LibraryWithoutRollbackRetainingLoadsAsVersionFiveAndRefusesMissingProcedures) {
    IFbClientLibraryPtr library = AcquireClientLibrary(QV_FAKE_CLIENT_V5);
    EXPECT_EQ(library->ClientMajorVersion(), 5);
    EXPECT_EQ(library->ClientMinorVersion(), 0);
    EXPECT_FALSE(library->HasCancelOperation());

    ISC_STATUS* status = ThreadStatusVector();
    status[0] = 1;
    status[1] = 335544344;
    isc_tr_handle transaction = 0;
    const std::string suffix = std::string(" in ") + QV_FAKE_CLIENT_V5;
    EXPECT_EQ(ExceptionText([&] { library->isc_rollback_retaining(status, &transaction); }),
              "Can't find procedure isc_rollback_retaining" + suffix);
    EXPECT_EQ(ExceptionText([&] { library->isc_portable_integer(nullptr, 0); }),
              "Can't find procedure isc_portable_integer" + suffix);
    EXPECT_EQ(ExceptionText([&] { library->isc_get_client_major_version(); }),
              "Can't find procedure isc_get_client_major_version" + suffix);
    EXPECT_EQ(ExceptionText([&] { library->fb_cancel_operation(status, nullptr, fb_cancel_raise); }),
              "Can't find procedure fb_cancel_operation" + suffix);
    EXPECT_EQ(status[1], 335544344) << "a refused call leaves the status vector alone";
}

TEST(ClientLibrary, EntryPointsOutsideTheSystemAreNeverResolvedEvenWhenExported) {
    IFbClientLibraryPtr library = AcquireClientLibrary(kRealLibrary);
    ISC_STATUS* status = ThreadStatusVector();
    isc_tr_handle transaction = 0;
    EXPECT_EQ(ExceptionText([&] { library->isc_add_user(status, nullptr); }),
              "Can't find procedure isc_add_user in libfbclient.so.2");
    EXPECT_EQ(ExceptionText([&] { library->isc_prepare_transaction(status, &transaction); }),
              "Can't find procedure isc_prepare_transaction in libfbclient.so.2");
    EXPECT_EQ(ExceptionText([&] { library->isc_blob_set_desc(status, nullptr, nullptr, 0, 0, 0, nullptr); }),
              "Can't find procedure isc_blob_set_desc in libfbclient.so.2");
}

TEST(ClientLibrary, LibraryLackingARequiredEntryPointDoesNotLoadAndIsNotRegistered) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            AcquireClientLibrary(QV_FAKE_CLIENT_NO_EVENTS);
            FAIL() << "loaded a library without isc_que_events";
        } catch (const EOSError& error) {
            EXPECT_EQ(error.ErrorCode(), 127);
            const std::string prefix = "System Error.  Code: 127.\r\n";
            EXPECT_EQ(error.Message().substr(0, prefix.size()), prefix);
            EXPECT_NE(error.Message().find("isc_que_events"), std::string::npos) << error.Message();
        }
        EXPECT_EQ(dlopen(QV_FAKE_CLIENT_NO_EVENTS, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the library was released";
    }
}

TEST(ClientLibrary, EveryThreadHasItsOwnZeroedStatusVector) {
    ISC_STATUS* mine = ThreadStatusVector();
    mine[1] = 42;
    ISC_STATUS* theirs = nullptr;
    ISC_STATUS theirSecond = -1;
    std::thread([&] {
        theirs = ThreadStatusVector();
        theirSecond = theirs[1];
    }).join();
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(theirSecond, 0);
    EXPECT_EQ(ThreadStatusVector(), mine);
    EXPECT_EQ(mine[1], 42);
}

} // namespace
