#include "CppNames.h"

#include "Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <unordered_set>

namespace {

// C++ keywords (C++20, with the transactional-memory and reflection words that compilers
// reserve on request) and the alternative tokens.
const char* const kKeywords[] = {
    "alignas", "alignof", "and", "and_eq", "asm", "atomic_cancel", "atomic_commit", "atomic_noexcept", "auto",
    "bitand", "bitor", "bool", "break", "case", "catch", "char", "char16_t", "char32_t", "char8_t", "class",
    "co_await", "co_return", "co_yield", "compl", "concept", "const", "const_cast", "consteval", "constexpr",
    "constinit", "continue", "decltype", "default", "delete", "do", "double", "dynamic_cast", "else", "enum",
    "explicit", "export", "extern", "false", "float", "for", "friend", "goto", "if", "inline", "int", "long",
    "mutable", "namespace", "new", "noexcept", "not", "not_eq", "nullptr", "operator", "or", "or_eq", "private",
    "protected", "public", "reflexpr", "register", "reinterpret_cast", "requires", "return", "short", "signed",
    "sizeof", "static", "static_assert", "static_cast", "struct", "switch", "synchronized", "template", "this",
    "thread_local", "throw", "true", "try", "typedef", "typeid", "typename", "union", "unsigned", "using",
    "virtual", "void", "volatile", "wchar_t", "while", "xor", "xor_eq",
};

// Names that generated code uses without qualification, or that a class of the same name in a
// generated namespace would hide: jni.h's types, functions and constants, and what the runtime
// library's headers declare.
const char* const kGeneratedCodeNames[] = {
    // jni.h
    "JNIEnv", "JNIEnv_", "JNIGlobalRefType", "JNIInvalidRefType", "JNIInvokeInterface_", "JNILocalRefType",
    "JNINativeInterface_", "JNINativeMethod", "JNIWeakGlobalRefType", "JNI_CreateJavaVM",
    "JNI_GetCreatedJavaVMs", "JNI_GetDefaultJavaVMInitArgs", "JNI_OnLoad", "JNI_OnUnload", "JavaVM",
    "JavaVMAttachArgs", "JavaVMInitArgs", "JavaVMOption", "JavaVM_", "jarray", "jboolean", "jbooleanArray",
    "jbyte", "jbyteArray", "jchar", "jcharArray", "jclass", "jdouble", "jdoubleArray", "jfieldID", "jfloat",
    "jfloatArray", "jint", "jintArray", "jlong", "jlongArray", "jmethodID", "jobject", "jobjectArray",
    "jobjectRefType", "jshort", "jshortArray", "jsize", "jstring", "jthrowable", "jvalue", "jweak",
    // the runtime library
    "BaseException", "CPP_Java_Bridge", "CSmartString", "EnumInstalledJRE", "EnvironmentNotInitializedException",
    "GlobalRefHolder", "InitializationException", "JArrayHelper", "JArrayTraits", "JBooleanArray", "JByteArray",
    "JCharArray", "JDoubleArray", "JFloatArray", "JIntArray", "JLongArray", "JNIEnvHelper", "JNIInterface",
    "JObjectArrayHelper", "JObject_t", "JRE_DEFAULT", "JRE_IBM", "JRE_MICROSOFT", "JRE_SUN", "JShortArray",
    "JStringArrayHelper", "JStringHelper", "JVM", "JVMException", "LookupSite", "NativeMethodData", "ProxyLookup",
    "_alloca", "_simple_class_loader", "jni_helpers",
};

// Macros of the headers that generated code includes: jni.h and jni_md.h, and the C and C++
// standard headers as glibc (with its GNU extensions, which libstdc++ turns on), libstdc++ and
// the compilers define them. Names that start with two underscores or an underscore and a capital
// are covered by those reserved prefixes, the runtime's own macros by KAVRIN_, glibc's system
// call numbers by SYS_.
const char* const kMacros[] = {
    "ADJ_ESTERROR", "ADJ_FREQUENCY", "ADJ_MAXERROR", "ADJ_MICRO", "ADJ_NANO", "ADJ_OFFSET",
    "ADJ_OFFSET_SINGLESHOT", "ADJ_OFFSET_SS_READ", "ADJ_SETOFFSET", "ADJ_STATUS", "ADJ_TAI", "ADJ_TICK",
    "ADJ_TIMECONST", "AIO_PRIO_DELTA_MAX", "ATOMIC_BOOL_LOCK_FREE", "ATOMIC_CHAR16_T_LOCK_FREE",
    "ATOMIC_CHAR32_T_LOCK_FREE", "ATOMIC_CHAR8_T_LOCK_FREE", "ATOMIC_CHAR_LOCK_FREE", "ATOMIC_FLAG_INIT",
    "ATOMIC_INT_LOCK_FREE", "ATOMIC_LLONG_LOCK_FREE", "ATOMIC_LONG_LOCK_FREE", "ATOMIC_POINTER_LOCK_FREE",
    "ATOMIC_SHORT_LOCK_FREE", "ATOMIC_VAR_INIT", "ATOMIC_WCHAR_T_LOCK_FREE", "BC_BASE_MAX", "BC_DIM_MAX",
    "BC_SCALE_MAX", "BC_STRING_MAX", "BIG_ENDIAN", "BOOL_MAX", "BOOL_WIDTH", "BUFSIZ", "BUS_ADRALN",
    "BUS_ADRERR", "BUS_MCEERR_AO", "BUS_MCEERR_AR", "BUS_OBJERR", "BYTE_ORDER", "CHARCLASS_NAME_MAX",
    "CHAR_BIT", "CHAR_MAX", "CHAR_MIN", "CHAR_WIDTH", "CLD_CONTINUED", "CLD_DUMPED", "CLD_EXITED", "CLD_KILLED",
    "CLD_STOPPED", "CLD_TRAPPED", "CLOCKS_PER_SEC", "CLOCK_BOOTTIME", "CLOCK_BOOTTIME_ALARM", "CLOCK_MONOTONIC",
    "CLOCK_MONOTONIC_COARSE", "CLOCK_MONOTONIC_RAW", "CLOCK_PROCESS_CPUTIME_ID", "CLOCK_REALTIME",
    "CLOCK_REALTIME_ALARM", "CLOCK_REALTIME_COARSE", "CLOCK_TAI", "CLOCK_THREAD_CPUTIME_ID",
    "CLONE_CHILD_CLEARTID", "CLONE_CHILD_SETTID", "CLONE_DETACHED", "CLONE_FILES", "CLONE_FS", "CLONE_IO",
    "CLONE_NEWCGROUP", "CLONE_NEWIPC", "CLONE_NEWNET", "CLONE_NEWNS", "CLONE_NEWPID", "CLONE_NEWTIME",
    "CLONE_NEWUSER", "CLONE_NEWUTS", "CLONE_PARENT", "CLONE_PARENT_SETTID", "CLONE_PIDFD", "CLONE_PTRACE",
    "CLONE_SETTLS", "CLONE_SIGHAND", "CLONE_SYSVSEM", "CLONE_THREAD", "CLONE_UNTRACED", "CLONE_VFORK",
    "CLONE_VM", "CLOSE_RANGE_CLOEXEC", "CLOSE_RANGE_UNSHARE", "COLL_WEIGHTS_MAX", "CPU_ALLOC", "CPU_ALLOC_SIZE",
    "CPU_AND", "CPU_AND_S", "CPU_CLR", "CPU_CLR_S", "CPU_COUNT", "CPU_COUNT_S", "CPU_EQUAL", "CPU_EQUAL_S",
    "CPU_FREE", "CPU_ISSET", "CPU_ISSET_S", "CPU_OR", "CPU_OR_S", "CPU_SET", "CPU_SETSIZE", "CPU_SET_S",
    "CPU_XOR", "CPU_XOR_S", "CPU_ZERO", "CPU_ZERO_S", "CSIGNAL", "DBL_DECIMAL_DIG", "DBL_DIG", "DBL_EPSILON",
    "DBL_HAS_SUBNORM", "DBL_MANT_DIG", "DBL_MAX", "DBL_MAX_10_EXP", "DBL_MAX_EXP", "DBL_MIN", "DBL_MIN_10_EXP",
    "DBL_MIN_EXP", "DBL_TRUE_MIN", "DECIMAL_DIG", "DELAYTIMER_MAX", "E2BIG", "EACCES", "EADDRINUSE",
    "EADDRNOTAVAIL", "EADV", "EAFNOSUPPORT", "EAGAIN", "EALREADY", "EBADE", "EBADF", "EBADFD", "EBADMSG",
    "EBADR", "EBADRQC", "EBADSLT", "EBFONT", "EBUSY", "ECANCELED", "ECHILD", "ECHRNG", "ECOMM", "ECONNABORTED",
    "ECONNREFUSED", "ECONNRESET", "EDEADLK", "EDEADLOCK", "EDESTADDRREQ", "EDOM", "EDOTDOT", "EDQUOT", "EEXIST",
    "EFAULT", "EFBIG", "EHOSTDOWN", "EHOSTUNREACH", "EHWPOISON", "EIDRM", "EILSEQ", "EINPROGRESS", "EINTR",
    "EINVAL", "EIO", "EISCONN", "EISDIR", "EISNAM", "EKEYEXPIRED", "EKEYREJECTED", "EKEYREVOKED", "EL2HLT",
    "EL2NSYNC", "EL3HLT", "EL3RST", "ELIBACC", "ELIBBAD", "ELIBEXEC", "ELIBMAX", "ELIBSCN", "ELNRNG", "ELOOP",
    "EMEDIUMTYPE", "EMFILE", "EMLINK", "EMSGSIZE", "EMULTIHOP", "ENAMETOOLONG", "ENAVAIL", "ENETDOWN",
    "ENETRESET", "ENETUNREACH", "ENFILE", "ENOANO", "ENOBUFS", "ENOCSI", "ENODATA", "ENODEV", "ENOENT",
    "ENOEXEC", "ENOKEY", "ENOLCK", "ENOLINK", "ENOMEDIUM", "ENOMEM", "ENOMSG", "ENONET", "ENOPKG",
    "ENOPROTOOPT", "ENOSPC", "ENOSR", "ENOSTR", "ENOSYS", "ENOTBLK", "ENOTCONN", "ENOTDIR", "ENOTEMPTY",
    "ENOTNAM", "ENOTRECOVERABLE", "ENOTSOCK", "ENOTSUP", "ENOTTY", "ENOTUNIQ", "ENXIO", "EOF", "EOPNOTSUPP",
    "EOVERFLOW", "EOWNERDEAD", "EPERM", "EPFNOSUPPORT", "EPIPE", "EPROTO", "EPROTONOSUPPORT", "EPROTOTYPE",
    "ERANGE", "EREMCHG", "EREMOTE", "EREMOTEIO", "ERESTART", "ERFKILL", "EROFS", "ESHUTDOWN", "ESOCKTNOSUPPORT",
    "ESPIPE", "ESRCH", "ESRMNT", "ESTALE", "ESTRPIPE", "ETIME", "ETIMEDOUT", "ETOOMANYREFS", "ETXTBSY",
    "EUCLEAN", "EUNATCH", "EUSERS", "EWOULDBLOCK", "EXDEV", "EXFULL", "EXIT_FAILURE", "EXIT_SUCCESS",
    "EXPR_NEST_MAX", "FD_CLR", "FD_ISSET", "FD_SET", "FD_SETSIZE", "FD_ZERO", "FE_ALL_EXCEPT", "FE_DFL_ENV",
    "FE_DFL_MODE", "FE_DIVBYZERO", "FE_DOWNWARD", "FE_INEXACT", "FE_INVALID", "FE_NOMASK_ENV", "FE_OVERFLOW",
    "FE_TONEAREST", "FE_TOWARDZERO", "FE_UNDERFLOW", "FE_UPWARD", "FILENAME_MAX", "FLT_DECIMAL_DIG", "FLT_DIG",
    "FLT_EPSILON", "FLT_EVAL_METHOD", "FLT_HAS_SUBNORM", "FLT_MANT_DIG", "FLT_MAX", "FLT_MAX_10_EXP",
    "FLT_MAX_EXP", "FLT_MIN", "FLT_MIN_10_EXP", "FLT_MIN_EXP", "FLT_RADIX", "FLT_ROUNDS", "FLT_TRUE_MIN",
    "FOPEN_MAX", "FPE_CONDTRAP", "FPE_FLTDIV", "FPE_FLTINV", "FPE_FLTOVF", "FPE_FLTRES", "FPE_FLTSUB",
    "FPE_FLTUND", "FPE_FLTUNK", "FPE_INTDIV", "FPE_INTOVF", "FP_ILOGB0", "FP_ILOGBNAN", "FP_INFINITE",
    "FP_INT_DOWNWARD", "FP_INT_TONEAREST", "FP_INT_TONEARESTFROMZERO", "FP_INT_TOWARDZERO", "FP_INT_UPWARD",
    "FP_LLOGB0", "FP_LLOGBNAN", "FP_NAN", "FP_NORMAL", "FP_SUBNORMAL", "FP_XSTATE_MAGIC1", "FP_XSTATE_MAGIC2",
    "FP_XSTATE_MAGIC2_SIZE", "FP_ZERO", "F_LOCK", "F_OK", "F_TEST", "F_TLOCK", "F_ULOCK", "HOST_NAME_MAX",
    "HUGE_VAL", "HUGE_VALF", "HUGE_VALL", "HUGE_VAL_F128", "HUGE_VAL_F32", "HUGE_VAL_F32X", "HUGE_VAL_F64",
    "HUGE_VAL_F64X", "ILL_BADIADDR", "ILL_BADSTK", "ILL_COPROC", "ILL_ILLADR", "ILL_ILLOPC", "ILL_ILLOPN",
    "ILL_ILLTRP", "ILL_PRVOPC", "ILL_PRVREG", "INFINITY", "INT16_C", "INT16_MAX", "INT16_MIN", "INT16_WIDTH",
    "INT32_C", "INT32_MAX", "INT32_MIN", "INT32_WIDTH", "INT64_C", "INT64_MAX", "INT64_MIN", "INT64_WIDTH",
    "INT8_C", "INT8_MAX", "INT8_MIN", "INT8_WIDTH", "INTMAX_C", "INTMAX_MAX", "INTMAX_MIN", "INTMAX_WIDTH",
    "INTPTR_MAX", "INTPTR_MIN", "INTPTR_WIDTH", "INT_FAST16_MAX", "INT_FAST16_MIN", "INT_FAST16_WIDTH",
    "INT_FAST32_MAX", "INT_FAST32_MIN", "INT_FAST32_WIDTH", "INT_FAST64_MAX", "INT_FAST64_MIN",
    "INT_FAST64_WIDTH", "INT_FAST8_MAX", "INT_FAST8_MIN", "INT_FAST8_WIDTH", "INT_LEAST16_MAX",
    "INT_LEAST16_MIN", "INT_LEAST16_WIDTH", "INT_LEAST32_MAX", "INT_LEAST32_MIN", "INT_LEAST32_WIDTH",
    "INT_LEAST64_MAX", "INT_LEAST64_MIN", "INT_LEAST64_WIDTH", "INT_LEAST8_MAX", "INT_LEAST8_MIN",
    "INT_LEAST8_WIDTH", "INT_MAX", "INT_MIN", "INT_WIDTH", "IOV_MAX", "ITIMER_PROF", "ITIMER_REAL",
    "ITIMER_VIRTUAL", "JDK1_2", "JDK1_4", "JNICALL", "JNIEXPORT", "JNIIMPORT", "JNI_ABORT", "JNI_COMMIT",
    "JNI_EDETACHED", "JNI_EEXIST", "JNI_EINVAL", "JNI_ENOMEM", "JNI_ERR", "JNI_EVERSION", "JNI_FALSE", "JNI_OK",
    "JNI_TRUE", "JNI_VERSION_10", "JNI_VERSION_1_1", "JNI_VERSION_1_2", "JNI_VERSION_1_4", "JNI_VERSION_1_6",
    "JNI_VERSION_1_8", "JNI_VERSION_9", "LC_ADDRESS", "LC_ADDRESS_MASK", "LC_ALL", "LC_ALL_MASK", "LC_COLLATE",
    "LC_COLLATE_MASK", "LC_CTYPE", "LC_CTYPE_MASK", "LC_GLOBAL_LOCALE", "LC_IDENTIFICATION",
    "LC_IDENTIFICATION_MASK", "LC_MEASUREMENT", "LC_MEASUREMENT_MASK", "LC_MESSAGES", "LC_MESSAGES_MASK",
    "LC_MONETARY", "LC_MONETARY_MASK", "LC_NAME", "LC_NAME_MASK", "LC_NUMERIC", "LC_NUMERIC_MASK", "LC_PAPER",
    "LC_PAPER_MASK", "LC_TELEPHONE", "LC_TELEPHONE_MASK", "LC_TIME", "LC_TIME_MASK", "LDBL_DECIMAL_DIG",
    "LDBL_DIG", "LDBL_EPSILON", "LDBL_HAS_SUBNORM", "LDBL_MANT_DIG", "LDBL_MAX", "LDBL_MAX_10_EXP",
    "LDBL_MAX_EXP", "LDBL_MIN", "LDBL_MIN_10_EXP", "LDBL_MIN_EXP", "LDBL_TRUE_MIN", "LINE_MAX", "LITTLE_ENDIAN",
    "LLONG_MAX", "LLONG_MIN", "LLONG_WIDTH", "LOGIN_NAME_MAX", "LONG_BIT", "LONG_LONG_MAX", "LONG_LONG_MIN",
    "LONG_MAX", "LONG_MIN", "LONG_WIDTH", "L_INCR", "L_SET", "L_XTND", "L_ctermid", "L_cuserid", "L_tmpnam",
    "MATH_ERREXCEPT", "MATH_ERRNO", "MAXFLOAT", "MAX_CANON", "MAX_INPUT", "MB_CUR_MAX", "MB_LEN_MAX",
    "MINSIGSTKSZ", "MOD_CLKA", "MOD_CLKB", "MOD_ESTERROR", "MOD_FREQUENCY", "MOD_MAXERROR", "MOD_MICRO",
    "MOD_NANO", "MOD_OFFSET", "MOD_STATUS", "MOD_TAI", "MOD_TIMECONST", "MQ_PRIO_MAX", "M_1_PI", "M_1_PIf",
    "M_1_PIf128", "M_1_PIf32", "M_1_PIf32x", "M_1_PIf64", "M_1_PIf64x", "M_1_PIl", "M_2_PI", "M_2_PIf",
    "M_2_PIf128", "M_2_PIf32", "M_2_PIf32x", "M_2_PIf64", "M_2_PIf64x", "M_2_PIl", "M_2_SQRTPI", "M_2_SQRTPIf",
    "M_2_SQRTPIf128", "M_2_SQRTPIf32", "M_2_SQRTPIf32x", "M_2_SQRTPIf64", "M_2_SQRTPIf64x", "M_2_SQRTPIl",
    "M_E", "M_Ef", "M_Ef128", "M_Ef32", "M_Ef32x", "M_Ef64", "M_Ef64x", "M_El", "M_LN10", "M_LN10f",
    "M_LN10f128", "M_LN10f32", "M_LN10f32x", "M_LN10f64", "M_LN10f64x", "M_LN10l", "M_LN2", "M_LN2f",
    "M_LN2f128", "M_LN2f32", "M_LN2f32x", "M_LN2f64", "M_LN2f64x", "M_LN2l", "M_LOG10E", "M_LOG10Ef",
    "M_LOG10Ef128", "M_LOG10Ef32", "M_LOG10Ef32x", "M_LOG10Ef64", "M_LOG10Ef64x", "M_LOG10El", "M_LOG2E",
    "M_LOG2Ef", "M_LOG2Ef128", "M_LOG2Ef32", "M_LOG2Ef32x", "M_LOG2Ef64", "M_LOG2Ef64x", "M_LOG2El", "M_PI",
    "M_PI_2", "M_PI_2f", "M_PI_2f128", "M_PI_2f32", "M_PI_2f32x", "M_PI_2f64", "M_PI_2f64x", "M_PI_2l",
    "M_PI_4", "M_PI_4f", "M_PI_4f128", "M_PI_4f32", "M_PI_4f32x", "M_PI_4f64", "M_PI_4f64x", "M_PI_4l", "M_PIf",
    "M_PIf128", "M_PIf32", "M_PIf32x", "M_PIf64", "M_PIf64x", "M_PIl", "M_SQRT1_2", "M_SQRT1_2f",
    "M_SQRT1_2f128", "M_SQRT1_2f32", "M_SQRT1_2f32x", "M_SQRT1_2f64", "M_SQRT1_2f64x", "M_SQRT1_2l", "M_SQRT2",
    "M_SQRT2f", "M_SQRT2f128", "M_SQRT2f32", "M_SQRT2f32x", "M_SQRT2f64", "M_SQRT2f64x", "M_SQRT2l", "NAME_MAX",
    "NAN", "NFDBITS", "NGREG", "NGROUPS_MAX", "NL_ARGMAX", "NL_LANGMAX", "NL_MSGMAX", "NL_NMAX", "NL_SETMAX",
    "NL_TEXTMAX", "NSIG", "NULL", "NZERO", "PATH_MAX", "PDP_ENDIAN", "PIPE_BUF", "POLL_ERR", "POLL_HUP",
    "POLL_IN", "POLL_MSG", "POLL_OUT", "POLL_PRI", "PRIX16", "PRIX32", "PRIX64", "PRIX8", "PRIXFAST16",
    "PRIXFAST32", "PRIXFAST64", "PRIXFAST8", "PRIXLEAST16", "PRIXLEAST32", "PRIXLEAST64", "PRIXLEAST8",
    "PRIXMAX", "PRIXPTR", "PRId16", "PRId32", "PRId64", "PRId8", "PRIdFAST16", "PRIdFAST32", "PRIdFAST64",
    "PRIdFAST8", "PRIdLEAST16", "PRIdLEAST32", "PRIdLEAST64", "PRIdLEAST8", "PRIdMAX", "PRIdPTR", "PRIi16",
    "PRIi32", "PRIi64", "PRIi8", "PRIiFAST16", "PRIiFAST32", "PRIiFAST64", "PRIiFAST8", "PRIiLEAST16",
    "PRIiLEAST32", "PRIiLEAST64", "PRIiLEAST8", "PRIiMAX", "PRIiPTR", "PRIo16", "PRIo32", "PRIo64", "PRIo8",
    "PRIoFAST16", "PRIoFAST32", "PRIoFAST64", "PRIoFAST8", "PRIoLEAST16", "PRIoLEAST32", "PRIoLEAST64",
    "PRIoLEAST8", "PRIoMAX", "PRIoPTR", "PRIu16", "PRIu32", "PRIu64", "PRIu8", "PRIuFAST16", "PRIuFAST32",
    "PRIuFAST64", "PRIuFAST8", "PRIuLEAST16", "PRIuLEAST32", "PRIuLEAST64", "PRIuLEAST8", "PRIuMAX", "PRIuPTR",
    "PRIx16", "PRIx32", "PRIx64", "PRIx8", "PRIxFAST16", "PRIxFAST32", "PRIxFAST64", "PRIxFAST8", "PRIxLEAST16",
    "PRIxLEAST32", "PRIxLEAST64", "PRIxLEAST8", "PRIxMAX", "PRIxPTR", "PTHREAD_ADAPTIVE_MUTEX_INITIALIZER_NP",
    "PTHREAD_ATTR_NO_SIGMASK_NP", "PTHREAD_BARRIER_SERIAL_THREAD", "PTHREAD_CANCELED",
    "PTHREAD_CANCEL_ASYNCHRONOUS", "PTHREAD_CANCEL_DEFERRED", "PTHREAD_CANCEL_DISABLE", "PTHREAD_CANCEL_ENABLE",
    "PTHREAD_COND_INITIALIZER", "PTHREAD_CREATE_DETACHED", "PTHREAD_CREATE_JOINABLE",
    "PTHREAD_DESTRUCTOR_ITERATIONS", "PTHREAD_ERRORCHECK_MUTEX_INITIALIZER_NP", "PTHREAD_EXPLICIT_SCHED",
    "PTHREAD_INHERIT_SCHED", "PTHREAD_KEYS_MAX", "PTHREAD_MUTEX_INITIALIZER", "PTHREAD_ONCE_INIT",
    "PTHREAD_PROCESS_PRIVATE", "PTHREAD_PROCESS_SHARED", "PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP",
    "PTHREAD_RWLOCK_INITIALIZER", "PTHREAD_RWLOCK_WRITER_NONRECURSIVE_INITIALIZER_NP", "PTHREAD_SCOPE_PROCESS",
    "PTHREAD_SCOPE_SYSTEM", "PTHREAD_STACK_MIN", "PTRDIFF_MAX", "PTRDIFF_MIN", "PTRDIFF_WIDTH", "P_tmpdir",
    "RAND_MAX", "REG_CR2", "REG_CSGSFS", "REG_EFL", "REG_ERR", "REG_OLDMASK", "REG_R10", "REG_R11", "REG_R12",
    "REG_R13", "REG_R14", "REG_R15", "REG_R8", "REG_R9", "REG_RAX", "REG_RBP", "REG_RBX", "REG_RCX", "REG_RDI",
    "REG_RDX", "REG_RIP", "REG_RSI", "REG_RSP", "REG_TRAPNO", "RENAME_EXCHANGE", "RENAME_NOREPLACE",
    "RENAME_WHITEOUT", "RE_DUP_MAX", "RTSIG_MAX", "R_OK", "SA_INTERRUPT", "SA_NOCLDSTOP", "SA_NOCLDWAIT",
    "SA_NODEFER", "SA_NOMASK", "SA_ONESHOT", "SA_ONSTACK", "SA_RESETHAND", "SA_RESTART", "SA_SIGINFO",
    "SA_STACK", "SCHAR_MAX", "SCHAR_MIN", "SCHAR_WIDTH", "SCHED_BATCH", "SCHED_DEADLINE", "SCHED_FIFO",
    "SCHED_IDLE", "SCHED_ISO", "SCHED_OTHER", "SCHED_RESET_ON_FORK", "SCHED_RR", "SCNd16", "SCNd32", "SCNd64",
    "SCNd8", "SCNdFAST16", "SCNdFAST32", "SCNdFAST64", "SCNdFAST8", "SCNdLEAST16", "SCNdLEAST32", "SCNdLEAST64",
    "SCNdLEAST8", "SCNdMAX", "SCNdPTR", "SCNi16", "SCNi32", "SCNi64", "SCNi8", "SCNiFAST16", "SCNiFAST32",
    "SCNiFAST64", "SCNiFAST8", "SCNiLEAST16", "SCNiLEAST32", "SCNiLEAST64", "SCNiLEAST8", "SCNiMAX", "SCNiPTR",
    "SCNo16", "SCNo32", "SCNo64", "SCNo8", "SCNoFAST16", "SCNoFAST32", "SCNoFAST64", "SCNoFAST8", "SCNoLEAST16",
    "SCNoLEAST32", "SCNoLEAST64", "SCNoLEAST8", "SCNoMAX", "SCNoPTR", "SCNu16", "SCNu32", "SCNu64", "SCNu8",
    "SCNuFAST16", "SCNuFAST32", "SCNuFAST64", "SCNuFAST8", "SCNuLEAST16", "SCNuLEAST32", "SCNuLEAST64",
    "SCNuLEAST8", "SCNuMAX", "SCNuPTR", "SCNx16", "SCNx32", "SCNx64", "SCNx8", "SCNxFAST16", "SCNxFAST32",
    "SCNxFAST64", "SCNxFAST8", "SCNxLEAST16", "SCNxLEAST32", "SCNxLEAST64", "SCNxLEAST8", "SCNxMAX", "SCNxPTR",
    "SEEK_CUR", "SEEK_DATA", "SEEK_END", "SEEK_HOLE", "SEEK_SET", "SEGV_ACCADI", "SEGV_ACCERR", "SEGV_ADIDERR",
    "SEGV_ADIPERR", "SEGV_BNDERR", "SEGV_MAPERR", "SEGV_MTEAERR", "SEGV_MTESERR", "SEGV_PKUERR", "SEM_FAILED",
    "SEM_VALUE_MAX", "SHRT_MAX", "SHRT_MIN", "SHRT_WIDTH", "SIGABRT", "SIGALRM", "SIGBUS", "SIGCHLD", "SIGCLD",
    "SIGCONT", "SIGEV_NONE", "SIGEV_SIGNAL", "SIGEV_THREAD", "SIGEV_THREAD_ID", "SIGFPE", "SIGHUP", "SIGILL",
    "SIGINT", "SIGIO", "SIGIOT", "SIGKILL", "SIGPIPE", "SIGPOLL", "SIGPROF", "SIGPWR", "SIGQUIT", "SIGRTMAX",
    "SIGRTMIN", "SIGSEGV", "SIGSTKFLT", "SIGSTKSZ", "SIGSTOP", "SIGSYS", "SIGTERM", "SIGTRAP", "SIGTSTP",
    "SIGTTIN", "SIGTTOU", "SIGURG", "SIGUSR1", "SIGUSR2", "SIGVTALRM", "SIGWINCH", "SIGXCPU", "SIGXFSZ",
    "SIG_ATOMIC_MAX", "SIG_ATOMIC_MIN", "SIG_ATOMIC_WIDTH", "SIG_BLOCK", "SIG_DFL", "SIG_ERR", "SIG_HOLD",
    "SIG_IGN", "SIG_SETMASK", "SIG_UNBLOCK", "SIZE_MAX", "SIZE_WIDTH", "SI_ASYNCIO", "SI_ASYNCNL",
    "SI_DETHREAD", "SI_KERNEL", "SI_MESGQ", "SI_QUEUE", "SI_SIGIO", "SI_TIMER", "SI_TKILL", "SI_USER", "SNAN",
    "SNANF", "SNANF128", "SNANF32", "SNANF32X", "SNANF64", "SNANF64X", "SNANL", "SSIZE_MAX", "SS_DISABLE",
    "SS_ONSTACK", "STA_CLK", "STA_CLOCKERR", "STA_DEL", "STA_FLL", "STA_FREQHOLD", "STA_INS", "STA_MODE",
    "STA_NANO", "STA_PLL", "STA_PPSERROR", "STA_PPSFREQ", "STA_PPSJITTER", "STA_PPSSIGNAL", "STA_PPSTIME",
    "STA_PPSWANDER", "STA_RONLY", "STA_UNSYNC", "STDERR_FILENO", "STDIN_FILENO", "STDOUT_FILENO",
    "TEMP_FAILURE_RETRY", "TIMER_ABSTIME", "TIMESPEC_TO_TIMEVAL", "TIMEVAL_TO_TIMESPEC", "TIME_UTC", "TMP_MAX",
    "TRAP_BRANCH", "TRAP_BRKPT", "TRAP_HWBKPT", "TRAP_TRACE", "TRAP_UNK", "TTY_NAME_MAX", "UCHAR_MAX",
    "UCHAR_WIDTH", "UINT16_C", "UINT16_MAX", "UINT16_WIDTH", "UINT32_C", "UINT32_MAX", "UINT32_WIDTH",
    "UINT64_C", "UINT64_MAX", "UINT64_WIDTH", "UINT8_C", "UINT8_MAX", "UINT8_WIDTH", "UINTMAX_C", "UINTMAX_MAX",
    "UINTMAX_WIDTH", "UINTPTR_MAX", "UINTPTR_WIDTH", "UINT_FAST16_MAX", "UINT_FAST16_WIDTH", "UINT_FAST32_MAX",
    "UINT_FAST32_WIDTH", "UINT_FAST64_MAX", "UINT_FAST64_WIDTH", "UINT_FAST8_MAX", "UINT_FAST8_WIDTH",
    "UINT_LEAST16_MAX", "UINT_LEAST16_WIDTH", "UINT_LEAST32_MAX", "UINT_LEAST32_WIDTH", "UINT_LEAST64_MAX",
    "UINT_LEAST64_WIDTH", "UINT_LEAST8_MAX", "UINT_LEAST8_WIDTH", "UINT_MAX", "UINT_WIDTH", "ULLONG_MAX",
    "ULLONG_WIDTH", "ULONG_LONG_MAX", "ULONG_MAX", "ULONG_WIDTH", "USHRT_MAX", "USHRT_WIDTH", "WCHAR_MAX",
    "WCHAR_MIN", "WCHAR_WIDTH", "WCONTINUED", "WEOF", "WEXITED", "WEXITSTATUS", "WIFCONTINUED", "WIFEXITED",
    "WIFSIGNALED", "WIFSTOPPED", "WINT_MAX", "WINT_MIN", "WINT_WIDTH", "WNOHANG", "WNOWAIT", "WORD_BIT",
    "WSTOPPED", "WSTOPSIG", "WTERMSIG", "WUNTRACED", "W_OK", "XATTR_LIST_MAX", "XATTR_NAME_MAX",
    "XATTR_SIZE_MAX", "X_OK", "alloca", "assert", "assert_perror", "be16toh", "be32toh", "be64toh", "errno",
    "htobe16", "htobe32", "htobe64", "htole16", "htole32", "htole64", "issubnormal", "le16toh", "le32toh",
    "le64toh", "linux", "math_errhandling", "offsetof", "pthread_cleanup_pop", "pthread_cleanup_pop_restore_np",
    "pthread_cleanup_push", "pthread_cleanup_push_defer_np", "sa_handler", "sa_sigaction", "sched_priority",
    "setjmp", "si_addr", "si_addr_lsb", "si_arch", "si_band", "si_call_addr", "si_fd", "si_int", "si_lower",
    "si_overrun", "si_pid", "si_pkey", "si_ptr", "si_status", "si_stime", "si_syscall", "si_timerid", "si_uid",
    "si_upper", "si_utime", "si_value", "sigev_notify_attributes", "sigev_notify_function", "sigmask",
    "sigsetjmp", "stderr", "stdin", "stdout", "strdupa", "strndupa", "timeradd", "timerclear", "timercmp",
    "timerisset", "timersub", "unix", "va_arg", "va_copy", "va_end", "va_start",
};

// Every name of the three tables.
const std::unordered_set<std::string>& reservedNames()
{
    static const std::unordered_set<std::string> names = [] {
        std::unordered_set<std::string> all;
        for (const char* name : kKeywords)
            all.insert(name);
        for (const char* name : kGeneratedCodeNames)
            all.insert(name);
        for (const char* name : kMacros)
            all.insert(name);
        return all;
    }();
    return names;
}

bool isAsciiLetter(unsigned c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiUpper(unsigned c)
{
    return c >= 'A' && c <= 'Z';
}

bool isAsciiDigit(unsigned c)
{
    return c >= '0' && c <= '9';
}

// One character of UTF-8 or modified UTF-8 text: its code point and its length in bytes. A byte
// that starts no valid sequence is a character of its own value and length 1 (`valid` false).
// An encoded surrogate pair (modified UTF-8) is one supplementary character of six bytes.
kavrin::Utf8Character characterAt(const std::string& text, std::size_t i)
{
    kavrin::Utf8Character c = kavrin::decodeUtf8(text, i, kavrin::Utf8Form::Modified);
    if (!c.valid)
        c.length = 1;
    return c;
}

// "_u" and four hexadecimal digits, or "_U" and eight outside the Basic Multilingual Plane.
std::string identifierEscape(uint32_t code)
{
    char buf[16];
    if (code > 0xFFFF)
        std::snprintf(buf, sizeof buf, "_U%08x", static_cast<unsigned>(code));
    else
        std::snprintf(buf, sizeof buf, "_u%04x", static_cast<unsigned>(code));
    return buf;
}

}  // namespace

bool isReservedCppName(const std::string& identifier)
{
    if (identifier.empty())
        return true;
    if (identifier.size() >= 2 && identifier[0] == '_' && (identifier[1] == '_' || isAsciiUpper(identifier[1])))
        return true;
    if (identifier.compare(0, 7, "KAVRIN_") == 0 || identifier.compare(0, 4, "SYS_") == 0)
        return true;
    return reservedNames().count(identifier) != 0;
}

std::string cppIdentifier(const std::string& javaName)
{
    // Most names are ASCII letters, digits (not first), '_' and '$': copied with '$' made '_'.
    bool plain = !javaName.empty() && !isAsciiDigit(static_cast<unsigned char>(javaName[0]));
    for (std::size_t k = 0; plain && k < javaName.size(); ++k) {
        const unsigned char c = static_cast<unsigned char>(javaName[k]);
        plain = isAsciiLetter(c) || isAsciiDigit(c) || c == '_' || c == '$';
    }
    std::string out;
    if (plain) {
        out = javaName;
        std::replace(out.begin(), out.end(), '$', '_');
        if (isReservedCppName(out))
            out.push_back('_');
        return out;
    }
    out.reserve(javaName.size());
    std::size_t i = 0;
    while (i < javaName.size()) {
        const kavrin::Utf8Character c = characterAt(javaName, i);
        if (c.code == '$')
            out.push_back('_');
        else if (c.code < 0x80 && (isAsciiLetter(c.code) || c.code == '_' || (isAsciiDigit(c.code) && !out.empty())))
            out.push_back(static_cast<char>(c.code));
        else
            out += identifierEscape(c.code);
        i += c.length;
    }
    if (isReservedCppName(out))
        out.push_back('_');
    return out;
}

std::string cppStringLiteral(const std::string& text, bool keepModifiedUtf8)
{
    // Text with no byte above 0x7F (nearly all) needs no conversion.
    bool ascii = true;
    for (const char ch : text)
        ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
    std::string converted;
    if (!keepModifiedUtf8 && !ascii) {
        converted.reserve(text.size());
        for (std::size_t i = 0; i < text.size();) {
            const kavrin::Utf8Character c = characterAt(text, i);
            if (c.valid && c.length == 6)
                kavrin::appendUtf8(converted, c.code);
            else
                converted.append(text, i, c.length);
            i += c.length;
        }
    }
    const std::string& bytes = keepModifiedUtf8 || ascii ? text : converted;
    std::string out;
    out.reserve(bytes.size() + 2);
    out.push_back('"');
    // Runs of bytes that stand for themselves are copied at once.
    std::size_t run = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        const char* escape = nullptr;
        switch (b) {
        case '"': escape = "\\\""; break;
        case '\\': escape = "\\\\"; break;
        case '?': escape = "\\?"; break;
        case '\n': escape = "\\n"; break;
        case '\r': escape = "\\r"; break;
        case '\t': escape = "\\t"; break;
        default:
            if (b >= 0x20 && b < 0x7F)
                continue;
        }
        out.append(bytes, run, i - run);
        run = i + 1;
        if (escape) {
            out += escape;
        } else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "\\%03o", static_cast<unsigned>(b));
            out += buf;
        }
    }
    out.append(bytes, run, bytes.size() - run);
    out.push_back('"');
    return out;
}

std::string cppCommentText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    auto unit = [&out](uint32_t u) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(u));
        out += buf;
    };
    for (std::size_t i = 0; i < text.size();) {
        const kavrin::Utf8Character c = characterAt(text, i);
        i += c.length;
        if (c.code >= 0x20 && c.code < 0x7F && c.code != '\\' && c.code != '*' && c.code != '/' && c.code != '?') {
            out.push_back(static_cast<char>(c.code));
        } else {
            std::u16string units;
            kavrin::appendUtf16(units, c.code);
            for (const char16_t u : units)
                unit(u);
        }
    }
    return out;
}

std::string generatedFileStem(const std::string& dottedClassName)
{
    std::string out;
    out.reserve(dottedClassName.size());
    for (std::size_t i = 0; i < dottedClassName.size();) {
        const kavrin::Utf8Character c = characterAt(dottedClassName, i);
        i += c.length;
        if (c.code == '.')
            out.push_back('_');
        else if (c.code < 0x80 && (isAsciiLetter(c.code) || isAsciiDigit(c.code) || c.code == '_' || c.code == '$' ||
                                   c.code == '-'))
            out.push_back(static_cast<char>(c.code));
        else if (c.code >= 0x80 && c.valid)
            kavrin::appendUtf8(out, c.code);
        else
            out += identifierEscape(c.code);
    }
    return out;
}
