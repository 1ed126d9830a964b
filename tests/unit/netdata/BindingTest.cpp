// The run-time binding: loaded once from the system directory, every entry
// bound by its own name, and what every reader shows when it is missing.
#include <gtest/gtest.h>

#include <cctype>

#include "monitor/ConfigReports.h"
#include "support/ReaderTest.h"
#include "platform/Sys.h"

namespace {

int loads = 0;
std::string loadedName;

HMODULE CountingLoader(const char* name) {
  ++loads;
  loadedName = name;
  return LoadSystemLibrary(name);
}

HMODULE MissingLibrary(const char*) {
  ++loads;
  return nullptr;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

TEST(IpHelperBinding, LoadsTheSystemLibraryOnceAndBindsEachEntryByName) {
  const uint32_t generation = SysBindingGeneration();
  {
    SysSwap scope(SysLibrary::iphlpapi, CountingLoader);
    EXPECT_EQ(Sys.GetAdaptersInfo, nullptr);  // unbound: every slot of the library empty
    EXPECT_EQ(Sys.IcmpSendEcho, nullptr);
    loads = 0;
    ASSERT_TRUE(BindSystemLibrary(SysLibrary::iphlpapi));
    ASSERT_TRUE(BindSystemLibrary(SysLibrary::iphlpapi));
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(loadedName, "IPHLPAPI.DLL");

    HMODULE library = GetModuleHandleA("iphlpapi.dll");
    ASSERT_NE(library, nullptr);
    char path[MAX_PATH] = {};
    char system[MAX_PATH] = {};
    GetModuleFileNameA(library, path, MAX_PATH);
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(Lower(path).rfind(Lower(system) + "\\", 0), 0u) << path;

#define VELNOR_CHECK_SLOT(scope, name) \
  EXPECT_EQ(reinterpret_cast<void*>(Sys.name), reinterpret_cast<void*>(GetProcAddress(library, #name))) << #name;
    VELNOR_IPHLPAPI_CALLS(VELNOR_CHECK_SLOT)
#undef VELNOR_CHECK_SLOT
    // The entries every reader here calls without a presence test.
    EXPECT_NE(Sys.GetAdaptersInfo, nullptr);
    EXPECT_NE(Sys.GetNetworkParams, nullptr);
    EXPECT_NE(Sys.GetIpAddrTable, nullptr);
    EXPECT_NE(Sys.IcmpSendEcho, nullptr);
  }
  // Table sizes learnt under the scope's binding are not taken for the next.
  EXPECT_GT(SysBindingGeneration(), generation);
  // The binding of the start is back, one slot per entry: the address table
  // the adapter list reads is the one the readers call.
  HMODULE library = GetModuleHandleA("iphlpapi.dll");
  EXPECT_EQ(reinterpret_cast<void*>(Sys.GetIpAddrTable),
            reinterpret_cast<void*>(GetProcAddress(library, "GetIpAddrTable")));
  EXPECT_EQ(reinterpret_cast<void*>(Sys.GetIfTable), reinterpret_cast<void*>(GetProcAddress(library, "GetIfTable")));
}

TEST(IpHelperBinding, MissingLibraryLeavesNoTraceAndEveryReaderSaysSo) {
  SysSwap scope(SysLibrary::iphlpapi, MissingLibrary);
  loads = 0;
  EXPECT_FALSE(BindSystemLibrary(SysLibrary::iphlpapi));
  EXPECT_FALSE(BindSystemLibrary(SysLibrary::iphlpapi));
  EXPECT_EQ(loads, 2);  // each call tries again
  EXPECT_EQ(Sys.GetAdaptersInfo, nullptr);

  const std::string notSupported = SysErrorMessage(ERROR_NOT_SUPPORTED);
  TNetworkParams params;
  EXPECT_EQ(ReadNetworkParams(params), 50u);
  int count = 7;
  TAdaptorRows rows(3);
  EXPECT_EQ(ReadAdaptorRows(count, rows), 50u);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(rows.size(), 3u);

  StringList report;
  ListFixedInfo(&report);
  EXPECT_EQ(LinesOf(report), std::vector<std::string>{notSupported});
  StringList list;
  EXPECT_FALSE(FillNetworkParamsList(&list));
  EXPECT_EQ(LinesOf(list), std::vector<std::string>{"ERROR: " + notSupported});

  // The address-table outputs leave their list as it was.
  StringList addresses;
  addresses.Add("previous");
  ListIpAddrTable(&addresses);
  EXPECT_FALSE(FillIpAddressList(&addresses));
  EXPECT_EQ(LinesOf(addresses), std::vector<std::string>{"previous"});

  ListAdaptorRows(&report);
  EXPECT_EQ(LinesOf(report), std::vector<std::string>{notSupported});
  EXPECT_FALSE(FillAdapterList(&list));
  EXPECT_EQ(LinesOf(list), std::vector<std::string>{notSupported});
  // The lookups give addresses: an error text is none.
  EXPECT_EQ(GatewayForMac("00-1A-2B-3C-4D-5E"), "");
  EXPECT_EQ(DnsServerForMac("00-1A-2B-3C-4D-5E"), "");
  EXPECT_EQ(TTableBuffer::Live(), 0);
}
