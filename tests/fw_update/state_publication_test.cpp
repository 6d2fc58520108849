// The engine's update and error states as a host reads them: every write to the engine is
// watched (its page made read-only, each write let through one instruction at a time), and after
// each one the states must never read US_Error without a reason. A poller could hit the moment
// between two stores only by chance; here every moment is seen.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <string>

#include "fwupdate.h"
#include "plugin_fixture.h"
#include "runtime_fixture.h"

namespace {

const DWORD kTrapFlag = 0x100;

// The engine in a page of its own, whose writes are watched while Watch is on.
struct WatchedEngine {
    void* page = nullptr;
    SIZE_T size = 0;
    FWUpdate* engine = nullptr;
    std::atomic<int> writes{0};
    std::atomic<int> errorsWithoutReason{0};
};
WatchedEngine g_watched;
thread_local bool t_stepping = false;

void Protect(DWORD protection)
{
    DWORD old = 0;
    VirtualProtect(g_watched.page, g_watched.size, protection, &old);
}

LONG CALLBACK OnWrite(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2 &&
        record.ExceptionInformation[0] == 1) {
        const char* at = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
        const char* page = static_cast<const char*>(g_watched.page);
        if (at < page || at >= page + g_watched.size) return EXCEPTION_CONTINUE_SEARCH;
        // Let this one write through, then look right after it.
        Protect(PAGE_READWRITE);
        info->ContextRecord->EFlags |= kTrapFlag;
        t_stepping = true;
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (record.ExceptionCode == EXCEPTION_SINGLE_STEP && t_stepping) {
        t_stepping = false;
        info->ContextRecord->EFlags &= ~kTrapFlag;
        ++g_watched.writes;
        if (g_watched.engine->getUpdateState() == US_Error && g_watched.engine->getErrorState() == ES_NoError)
            ++g_watched.errorsWithoutReason;
        Protect(PAGE_READONLY);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

TEST(StatePublicationTest, AnErrorIsNeverPublishedWithoutItsReason)
{
    RuntimeRegistration registration{StandInPath()};
    HostIni ini{"Zanvi", kDevice};
    CompatFile compat;
    compat.Set("2.1.0.15", "1.3.0.2");
    const char* failures[] = {
        "module 4711 1 1 V\n",  // not on USB: ES_ModuleId
        "module 4711 2 1 V\npcapp zvci 1.3.0.3 2013-01-01\n"
        "server 2.1.0.15 2013-01-01 DRX Product Version\n",  // not compatible: ES_VersionConflict
        "module 4711 2 1 V\npcapp zvci 1.3.0.2 2013-01-01\ninstall 3 error 2\ndelay 1\n",  // ES_Internal
    };
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    g_watched.size = (sizeof(FWUpdate) + system.dwPageSize - 1) / system.dwPageSize * system.dwPageSize;
    g_watched.page = VirtualAlloc(nullptr, g_watched.size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(g_watched.page, nullptr);
    PVOID handler = AddVectoredExceptionHandler(1, OnWrite);
    ASSERT_NE(handler, nullptr);
    for (const char* failure : failures) {
        ScenarioFile scenario(failure);
        g_watched.engine = new (g_watched.page) FWUpdate();
        ASSERT_TRUE(g_watched.engine->initialize());
        g_watched.writes = 0;
        g_watched.errorsWithoutReason = 0;
        Protect(PAGE_READONLY);
        EXPECT_TRUE(g_watched.engine->executeCmd("FWUpdate", "Zanvi", "", "", 0));
        for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(5)) {
            int32_t state = g_watched.engine->getUpdateState();
            if (state != US_Init && state != US_Working) break;
        }
        EXPECT_TRUE(g_watched.engine->stopAndWait(20000));
        Protect(PAGE_READWRITE);
        EXPECT_EQ(g_watched.engine->getUpdateState(), US_Error) << failure;
        EXPECT_GT(g_watched.writes, 5) << "the writes were watched";
        EXPECT_EQ(g_watched.errorsWithoutReason, 0) << failure;
        g_watched.engine->~FWUpdate();
    }
    RemoveVectoredExceptionHandler(handler);
    VirtualFree(g_watched.page, 0, MEM_RELEASE);
}

}  // namespace
