// Result codes of liborlak. Each failure uses the code whose message (the
// application's table of result messages) says what went wrong.
#pragma once

#include <cstdint>

namespace orlak {

enum Code : uint16_t {
  kOk = 0,
  kOutOfMemory = 1,    // "Не хватает динамической памяти."
  kCryptoFailure = 2,  // "Сбой криптографической функции ..."
  kAuthFailed = 4,  // "Не совпадает имитовставка - файл искажен": tampered data
  kKeyNotFound = 6,     // "Не найден ключ.": no secret key file for the identifier
  kBadParameter = 7,    // "Ошибка параметра обращения к функции."
  kNotInitialised = 8,  // "Ошибка инициализации."
  kInputOpen = 21,      // "Ошибка открытия входного файла."
  kOutputOpen = 22,     // "Ошибка открытия выходного файла."
  kWriteFailed = 23,    // "Ошибка записи файла."
  kReadFailed = 24,     // "Ошибка чтения файла."
  kRenameFailed = 25,   // "Ошибка переименования файла."
  kBadFileLength = 26,  // "Неверная (например, нулевая) длина файла.": empty, cut or extended
  kNotEncrypted = 29,  // "Попытка расшифрования незашифрованного файла."
  kNotSigned = 30,  // "Попытка проверки подписи неподписанного файла."
  kNoFreeSlots = 38,  // "Нет свободных слотов.": a file holds at most 255 signatures
  kUnsupportedFormat = 42,  // "Формат не поддерживается.": malformed trailer or header
  kPublicKeyMissing = 117,  // "Указанный открытый ключ отсутствует в справочнике."
  kPublicKeyDamaged = 121,  // "Заголовок открытого ключа искажен.": bad key file or key block
  kPublicFolderMissing = 122,  // "Справочник открытых ключей не найден."
  kWrongSender = 125,  // "Нет имитовставки на открытый ключ.": not from the named sender
  kSecretFolderMissing = 128,  // "Справочник не найден."
  kNotAddressed = 129,         // "ERR_BAD_KEY": the file holds no key for this receiver
  // OpenPGP keys and messages.
  kKeyExpiredOrRevoked = 700,   // the key (or every subkey for the use) expired or was revoked
  kKeyCapabilityMissing = 701,  // no encryption subkey, or no key that may sign
  kWeakMaterial = 702,          // RSA, DSA or ElGamal under 2048 bits; a SHA-1 or MD5 signature
  kNoIntegrity = 703,           // encrypted data without MDC or AEAD protection
  kSecretKeyProtected = 704,    // a passphrase protects the secret key
  kMixedFormats = 705,          // OpenPGP and liborlak keys or files in one call
  kAmbiguousKey = 706,          // the identifier matches several OpenPGP keys
  kSecretKeyDamaged = 4099,  // "Носит. не может использоваться в качестве ключевого ..."
};

// The errno-independent name of a code, for marvik's messages.
const char* CodeName(uint16_t code);

}  // namespace orlak
