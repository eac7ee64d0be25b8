#include "formats/macos_errno.h"

#include <cerrno>

namespace fileprobe {
namespace {

// macOS <sys/errno.h>, by name. Only names that Linux also defines appear.
namespace mac {
constexpr int kEPERM = 1, kENOENT = 2, kESRCH = 3, kEINTR = 4, kEIO = 5, kENXIO = 6, kE2BIG = 7,
              kENOEXEC = 8, kEBADF = 9, kECHILD = 10, kEDEADLK = 11, kENOMEM = 12, kEACCES = 13,
              kEFAULT = 14, kENOTBLK = 15, kEBUSY = 16, kEEXIST = 17, kEXDEV = 18, kENODEV = 19,
              kENOTDIR = 20, kEISDIR = 21, kEINVAL = 22, kENFILE = 23, kEMFILE = 24, kENOTTY = 25,
              kETXTBSY = 26, kEFBIG = 27, kENOSPC = 28, kESPIPE = 29, kEROFS = 30, kEMLINK = 31,
              kEPIPE = 32, kEDOM = 33, kERANGE = 34, kEAGAIN = 35, kEINPROGRESS = 36,
              kEALREADY = 37, kENOTSOCK = 38, kEDESTADDRREQ = 39, kEMSGSIZE = 40, kEPROTOTYPE = 41,
              kENOPROTOOPT = 42, kEPROTONOSUPPORT = 43, kESOCKTNOSUPPORT = 44, kENOTSUP = 45,
              kEPFNOSUPPORT = 46, kEAFNOSUPPORT = 47, kEADDRINUSE = 48, kEADDRNOTAVAIL = 49,
              kENETDOWN = 50, kENETUNREACH = 51, kENETRESET = 52, kECONNABORTED = 53,
              kECONNRESET = 54, kENOBUFS = 55, kEISCONN = 56, kENOTCONN = 57, kESHUTDOWN = 58,
              kETOOMANYREFS = 59, kETIMEDOUT = 60, kECONNREFUSED = 61, kELOOP = 62,
              kENAMETOOLONG = 63, kEHOSTDOWN = 64, kEHOSTUNREACH = 65, kENOTEMPTY = 66,
              kEUSERS = 68, kEDQUOT = 69, kESTALE = 70, kEREMOTE = 71, kENOLCK = 77, kENOSYS = 78,
              kEOVERFLOW = 84, kECANCELED = 89, kEIDRM = 90, kENOMSG = 91, kEILSEQ = 92,
              kENOATTR = 93, kEBADMSG = 94, kEMULTIHOP = 95, kENOLINK = 97, kENOSR = 98,
              kENOSTR = 99, kEPROTO = 100, kETIME = 101, kENOTRECOVERABLE = 104, kEOWNERDEAD = 105;
}  // namespace mac

int macosNumber(int platformErrno) {
  switch (platformErrno) {
    case 0: return 0;
    case EPERM: return mac::kEPERM;
    case ENOENT: return mac::kENOENT;
    case ESRCH: return mac::kESRCH;
    case EINTR: return mac::kEINTR;
    case EIO: return mac::kEIO;
    case ENXIO: return mac::kENXIO;
    case E2BIG: return mac::kE2BIG;
    case ENOEXEC: return mac::kENOEXEC;
    case EBADF: return mac::kEBADF;
    case ECHILD: return mac::kECHILD;
    case EDEADLK: return mac::kEDEADLK;
    case ENOMEM: return mac::kENOMEM;
    case EACCES: return mac::kEACCES;
    case EFAULT: return mac::kEFAULT;
    case ENOTBLK: return mac::kENOTBLK;
    case EBUSY: return mac::kEBUSY;
    case EEXIST: return mac::kEEXIST;
    case EXDEV: return mac::kEXDEV;
    case ENODEV: return mac::kENODEV;
    case ENOTDIR: return mac::kENOTDIR;
    case EISDIR: return mac::kEISDIR;
    case EINVAL: return mac::kEINVAL;
    case ENFILE: return mac::kENFILE;
    case EMFILE: return mac::kEMFILE;
    case ENOTTY: return mac::kENOTTY;
    case ETXTBSY: return mac::kETXTBSY;
    case EFBIG: return mac::kEFBIG;
    case ENOSPC: return mac::kENOSPC;
    case ESPIPE: return mac::kESPIPE;
    case EROFS: return mac::kEROFS;
    case EMLINK: return mac::kEMLINK;
    case EPIPE: return mac::kEPIPE;
    case EDOM: return mac::kEDOM;
    case ERANGE: return mac::kERANGE;
    case EAGAIN: return mac::kEAGAIN;  // EWOULDBLOCK is the same number on both systems
    case EINPROGRESS: return mac::kEINPROGRESS;
    case EALREADY: return mac::kEALREADY;
    case ENOTSOCK: return mac::kENOTSOCK;
    case EDESTADDRREQ: return mac::kEDESTADDRREQ;
    case EMSGSIZE: return mac::kEMSGSIZE;
    case EPROTOTYPE: return mac::kEPROTOTYPE;
    case ENOPROTOOPT: return mac::kENOPROTOOPT;
    case EPROTONOSUPPORT: return mac::kEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT: return mac::kESOCKTNOSUPPORT;
    case EOPNOTSUPP: return mac::kENOTSUP;  // Linux ENOTSUP is EOPNOTSUPP
    case EPFNOSUPPORT: return mac::kEPFNOSUPPORT;
    case EAFNOSUPPORT: return mac::kEAFNOSUPPORT;
    case EADDRINUSE: return mac::kEADDRINUSE;
    case EADDRNOTAVAIL: return mac::kEADDRNOTAVAIL;
    case ENETDOWN: return mac::kENETDOWN;
    case ENETUNREACH: return mac::kENETUNREACH;
    case ENETRESET: return mac::kENETRESET;
    case ECONNABORTED: return mac::kECONNABORTED;
    case ECONNRESET: return mac::kECONNRESET;
    case ENOBUFS: return mac::kENOBUFS;
    case EISCONN: return mac::kEISCONN;
    case ENOTCONN: return mac::kENOTCONN;
    case ESHUTDOWN: return mac::kESHUTDOWN;
    case ETOOMANYREFS: return mac::kETOOMANYREFS;
    case ETIMEDOUT: return mac::kETIMEDOUT;
    case ECONNREFUSED: return mac::kECONNREFUSED;
    case ELOOP: return mac::kELOOP;
    case ENAMETOOLONG: return mac::kENAMETOOLONG;
    case EHOSTDOWN: return mac::kEHOSTDOWN;
    case EHOSTUNREACH: return mac::kEHOSTUNREACH;
    case ENOTEMPTY: return mac::kENOTEMPTY;
    case EUSERS: return mac::kEUSERS;
    case EDQUOT: return mac::kEDQUOT;
    case ESTALE: return mac::kESTALE;
    case EREMOTE: return mac::kEREMOTE;
    case ENOLCK: return mac::kENOLCK;
    case ENOSYS: return mac::kENOSYS;
    case EOVERFLOW: return mac::kEOVERFLOW;
    case ECANCELED: return mac::kECANCELED;
    case EIDRM: return mac::kEIDRM;
    case ENOMSG: return mac::kENOMSG;
    case EILSEQ: return mac::kEILSEQ;
    case ENODATA: return mac::kENOATTR;  // a missing extended attribute
    case EBADMSG: return mac::kEBADMSG;
    case EMULTIHOP: return mac::kEMULTIHOP;
    case ENOLINK: return mac::kENOLINK;
    case ENOSR: return mac::kENOSR;
    case ENOSTR: return mac::kENOSTR;
    case EPROTO: return mac::kEPROTO;
    case ETIME: return mac::kETIME;
    case ENOTRECOVERABLE: return mac::kENOTRECOVERABLE;
    case EOWNERDEAD: return mac::kEOWNERDEAD;
    default: return mac::kEIO;
  }
}

}  // namespace

MacosErrno macosErrno(int platformErrno) { return {macosNumber(platformErrno)}; }

}  // namespace fileprobe
