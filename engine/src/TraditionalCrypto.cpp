#include "TraditionalCrypto.h"

#include "EngineError.h"

#include <array>
#include <cerrno>
#include <sys/random.h>

namespace zipengine {

namespace {

// The CRC-32 table (reflected polynomial 0xEDB88320) of the cipher's key schedule.
constexpr std::array<std::uint32_t, 256> makeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();

inline std::uint32_t crcByte(std::uint32_t crc, std::uint8_t b)
{
    return kCrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

} // namespace

TraditionalCipher::TraditionalCipher(const std::string& password) : m_keys{0x12345678u, 0x23456789u, 0x34567890u}
{
    for (const char c : password) {
        update(static_cast<std::uint8_t>(c));
    }
}

void TraditionalCipher::update(std::uint8_t plain)
{
    m_keys[0] = crcByte(m_keys[0], plain);
    m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFF)) * 134775813u + 1;
    m_keys[2] = crcByte(m_keys[2], static_cast<std::uint8_t>(m_keys[1] >> 24));
}

std::uint8_t TraditionalCipher::streamByte() const
{
    const std::uint32_t t = (m_keys[2] | 2) & 0xFFFF;
    return static_cast<std::uint8_t>((t * (t ^ 1)) >> 8);
}

void TraditionalCipher::encrypt(std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t plain = data[i];
        data[i] = plain ^ streamByte();
        update(plain);
    }
}

void TraditionalCipher::decrypt(std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        data[i] ^= streamByte();
        update(data[i]);
    }
}

void TraditionalCipher::makeHeader(std::uint8_t checkByte, std::uint8_t header[12])
{
    std::size_t got = 0;
    while (got < 11) {
        const ssize_t n = getrandom(header + got, 11 - got, 0);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw EngineError(ZIP_MSG_INTERNAL, "no random bytes for the encryption header: " + errnoText(errno));
        }
        got += static_cast<std::size_t>(n);
    }
    header[11] = checkByte;
    encrypt(header, 12);
}

} // namespace zipengine
