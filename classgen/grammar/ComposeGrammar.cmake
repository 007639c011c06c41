# Writes OUTPUT: the walker grammar GRAMMAR followed by the shared rules of SHARED (cmake -P).
file(READ "${GRAMMAR}" own)
file(READ "${SHARED}" shared)
file(WRITE "${OUTPUT}" "${own}\n// --- Shared rules (${SHARED}) ---\n\n${shared}")
