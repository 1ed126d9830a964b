#include "netdata/IPHLPAPI.h"

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
