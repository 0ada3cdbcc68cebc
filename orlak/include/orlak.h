/*
 * liborlak: file signatures and encryption for several receivers.
 *
 * Every function returns a 16-bit result code, 0 on success. Paths and key
 * identifiers are zero-terminated Windows-1251 strings. The library keeps its
 * key folders between the Init and Done calls and never calls back into the
 * application.
 *
 * The result codes are those of the application's result message table; which
 * failure gives which code, and the file and key formats, are described in
 * orlak/FORMAT.md.
 */
#ifndef ORLAK_H
#define ORLAK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define ORLAK_CALL __stdcall
#else
#define ORLAK_CALL
#endif

#define ORLAK_API __attribute__((visibility("default")))

/* Size of one record of a signature check report. */
#define ORLAK_SIGN_RECORD_SIZE 140
/* Bytes 0..12: the signer's key identifier, zero-terminated when shorter. */
#define ORLAK_SIGN_RECORD_KEYID_SIZE 13
/* Byte 135: status, 0 valid, 1 invalid, 2 public key not found. */
#define ORLAK_SIGN_RECORD_STATUS_OFFSET 135
/* Size of a key block filled by ExtractKey. */
#define ORLAK_KEY_BLOCK_SIZE 304
/* DelSign count that removes every signature. */
#define ORLAK_DELETE_ALL_SIGNATURES 255

typedef struct OrlakSignRecord {
  unsigned char Bytes[ORLAK_SIGN_RECORD_SIZE];
} OrlakSignRecord;

ORLAK_API uint16_t ORLAK_CALL SignInit(const char* secKeysFolder, const char* pubKeysFolder);
ORLAK_API uint16_t ORLAK_CALL CryptoInit(const char* secKeysFolder, const char* pubKeysFolder);
ORLAK_API uint16_t ORLAK_CALL CryptoDone(void);
ORLAK_API uint16_t ORLAK_CALL SignDone(void);

ORLAK_API uint16_t ORLAK_CALL SignFile(const char* inputFile, const char* outputFile,
                                       const char* keyId);
/* *records receives an array of *count records allocated by the library; the
   caller hands a non-null pointer to FreeMemory whatever the result code. */
ORLAK_API uint16_t ORLAK_CALL check_file_sign(const char* file, uint8_t* count,
                                              OrlakSignRecord** records);
ORLAK_API uint16_t ORLAK_CALL CheckFileSeparate(const char* file, uint8_t* count,
                                                OrlakSignRecord** records,
                                                const char* signatureFile);
ORLAK_API uint16_t ORLAK_CALL FreeMemory(OrlakSignRecord* records);
/* Removes count signatures from the end of the file in place; 255 removes all. */
ORLAK_API uint16_t ORLAK_CALL DelSign(const char* file, uint8_t count);

ORLAK_API uint16_t ORLAK_CALL EnCryptFileEx(const char* inputFile, const char* outputFile,
                                            const char* senderKeyId,
                                            const void* const* receiverKeyBlocks,
                                            uint16_t receiverCount, uint32_t reserved);
ORLAK_API uint16_t ORLAK_CALL DeCryptFileEx(const char* inputFile, const char* outputFile,
                                            const char* receiverKeyId, const void* senderKeyBlock);
/* Fills the ORLAK_KEY_BLOCK_SIZE bytes at keyBlock with the public key of keyId. */
ORLAK_API uint16_t ORLAK_CALL ExtractKey(const char* pubKeysFolder, const char* keyId,
                                         void* keyBlock);

/* What GetKeyState tells of a key (see FORMAT.md, "Key states"). */
#define ORLAK_KEY_USABLE 0
#define ORLAK_KEY_EXPIRED 1
#define ORLAK_KEY_REVOKED 2
#define ORLAK_KEY_WEAK 3
#define ORLAK_KEY_REFUSED 4
#define ORLAK_KEY_FORMAT_ORLAK 0
#define ORLAK_KEY_FORMAT_OPENPGP 1
#define ORLAK_KEY_FINGERPRINT_SIZE 72

typedef struct OrlakKeyState {
  int64_t Created;   /* seconds since 1970 UTC, 0 when the key keeps no date */
  int64_t Expires;   /* seconds since 1970 UTC, 0 never */
  uint8_t Condition; /* ORLAK_KEY_... */
  uint8_t CanSign, CanEncrypt;
  uint8_t Format;    /* ORLAK_KEY_FORMAT_... */
  uint8_t Reserved[4];
  char Fingerprint[ORLAK_KEY_FINGERPRINT_SIZE]; /* zero-terminated hex */
} OrlakKeyState;

/* The state of the key keyId in the folder (secret: non-zero for a secret-keys
   folder), now. Needs no Init. The missing-key codes when no file holds it. */
ORLAK_API uint16_t ORLAK_CALL GetKeyState(const char* folder, const char* keyId, uint8_t secret,
                                          OrlakKeyState* state);

#ifdef __cplusplus
}
#endif

#endif /* ORLAK_H */
