#include "netdata/IPHLPAPI.h"

#include <atomic>
#include <mutex>

#include "netdata/IPHelper.h"
#include "platform/Sys.h"

TIpHelperSlots IpHlp;

namespace {

// Everything that makes up the binding, so a test can swap it as a whole.
struct BindingState {
  HMODULE library = nullptr;  // owned; null until a load succeeds (and for fakes)
  HMODULE (*loader)(const char* name) = LoadSystemLibrary;
};

BindingState binding;
// Slots valid: loaded, or fakes installed. The monitor's refresh reads the
// tables on a worker while the main window reads them too; the slots are
// written before this is set and never change while it stays set.
std::atomic<bool> bound{false};
// Only one thread loads the library.
std::mutex loading;

template <class Fn>
void Resolve(HMODULE library, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

bool LoadIpHelper() {
  if (bound.load(std::memory_order_acquire)) return true;
  const std::lock_guard<std::mutex> lock(loading);
  if (bound.load(std::memory_order_acquire)) return true;
  HMODULE library = binding.loader("IPHLPAPI.DLL");
  if (!library) return false;
  binding.library = library;
  TIpHelperSlots slots;
#define VELNOR_IPHLPAPI_RESOLVE(scope, name) Resolve(library, #name, slots.name);
  VELNOR_IPHLPAPI_ENTRIES(VELNOR_IPHLPAPI_RESOLVE)
#undef VELNOR_IPHLPAPI_RESOLVE
  IpHlp = slots;
  ForgetTableSizes();
  bound.store(true, std::memory_order_release);
  return true;
}

void FreeIpHelper() {
  bound.store(false);
  if (binding.library) FreeLibrary(binding.library);
  binding.library = nullptr;
  IpHlp = TIpHelperSlots{};
  ForgetTableSizes();
}

struct ScopedIpHelperBinding::Saved {
  BindingState state;
  bool bound;
  TIpHelperSlots slots;
};

ScopedIpHelperBinding::ScopedIpHelperBinding(const TIpHelperSlots& fakes)
    : saved_(new Saved{binding, bound.load(), IpHlp}) {
  binding = BindingState{};
  IpHlp = fakes;
  bound = true;
  ForgetTableSizes();
}

ScopedIpHelperBinding::ScopedIpHelperBinding(HMODULE (*loader)(const char* name))
    : saved_(new Saved{binding, bound.load(), IpHlp}) {
  bound = false;
  binding = BindingState{};
  binding.loader = loader;
  IpHlp = TIpHelperSlots{};
  ForgetTableSizes();
}

ScopedIpHelperBinding::~ScopedIpHelperBinding() {
  // A library loaded inside the scope is not the saved one.
  if (binding.library && binding.library != saved_->state.library) FreeLibrary(binding.library);
  binding = saved_->state;
  IpHlp = saved_->slots;
  bound = saved_->bound;
  ForgetTableSizes();
  delete saved_;
}

namespace {

const char* const kNodeTypeNames[] = {"UNKNOWN", "BROADCAST", "PEER_TO_PEER", "", "MIXED", "", "", "", "HYBRID"};

const char* const kIfTypeNames[] = {
    "Other",     "Reg_1822",  "HDH_1822",  "DDN_X25",   "RFC877X25", "Ethernet",  "ISO88023",  "ISO88024",  "TokenRing",
    "ISO88026",  "StarLan",   "Proteon10", "Proteon80", "HyperChnl", "FDDI",      "LAP_B",     "SDLC",      "DS1",
    "E1",        "BasicISDN", "PrimISDN",  "Prop_P2P",  "PPP",       "Loopback",  "EON",       "Eth_3MB",   "NSIP",
    "SLIP",      "Ultra",     "DS3",       "SIP",       "FrameRly",  "RS232",     "Para",      "Arcnet",    "Arcnet+",
    "ATM",       "MIO_X25",   "Sonet",     "X25_PLE",   "ISO88022",  "LocalTalk", "SMDS_DXI",  "FrmRlySrv", "V35",
    "HSSI",      "HIPPI",     "Modem",     "AAL5",      "SonetPath", "Sonet_VT",  "SMDS_ICIP", "Prop_Virt", "Prop_Mux",
    "IEEE80212", "FibreChnl", "HIPPIifce", "FrmRlyIcn", "ALanE8023", "ALanE8025", "CCT_Emul",  "FastEther", "ISDN",
    "V11",       "V36",       "G703_64K",  "G703_2MB",  "QLLC",      "FastEthFX", "Channel",   "IEEE80211", "IBM370",
    "Escon",     "DSLW",      "ISDN_S",    "ISDN_U",    "LAP_D",     "IPSwitch",  "RSRB",      "ATM_Logic", "DSO",
    "DOSBundle", "BSC",       "Async",     "CNR",       "ISO88025",  "EPLRS",     "ARAP",      "Prop_CNLS", "HostPad",
    "TermPad",   "FrmRlyMPI", "X213",      "ADSL",      "RADSL",     "SDSL",      "VDSL",      "ISO88025",  "Myrinet",
    "Voice_EM",  "Voice_FX0", "Voice_FXS", "Voice_Cap", "VOIP",      "ATM_DXI",   "ATM_FUNI",  "ATM_IMA",   "PPPMulti",
    "IpOvCDLC",  "IpOvCLAW",  "Stck2Stck", "VirtIPAdr", "MPC",       "IpOv_ATM",  "88025Fibr", "TDLC",      "GigaBit",
    "HDLC",      "LAP_F",     "V37",       "X25_MLP",   "X25_Hunt",  "TransHDLC", "InterLeav", "Fast",      "IP",
    "CATV_MACL", "CATV_DwnS", "CATV_UpSt", "A12MPP_Sw", "Tunnel",    "Coffee",    "CES",       "ATM_SubIF", "L2_VLAN",
    "L3_IPVLAN", "L3_IPXVLN", "PowerLine", "MedaiMail", "DTM",       "DCN",       "IPForward", "MSDSL",     "IEEE1394",
    "TV_RcvOly",
};
static_assert(sizeof(kIfTypeNames) / sizeof(kIfTypeNames[0]) == 145, "one name per interface type code 1..145");

const char* const kIfOperStatusNames[] = {
    "IF_OPER_STATUS_NONE",    "IF_OPER_STATUS_UP",      "IF_OPER_STATUS_DOWN",        "IF_OPER_STATUS_TESTING",
    "IF_OPER_STATUS_UNKNOWN", "IF_OPER_STATUS_DORMANT", "IF_OPER_STATUS_NOT_PRESENT", "IF_OPER_STATUS_LOWER_LAYER_DOWN",
};

}  // namespace

const TNameTable NodeTypeNames(kNodeTypeNames, 0);
const TNameTable IfTypeNames(kIfTypeNames, 1);
const TNameTable IfOperStatusNames(kIfOperStatusNames, IF_OPER_STATUS_NONE);
