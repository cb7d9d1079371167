#pragma once
// Traditional zip encryption (the weak stream cipher every common unzip tool reads). Not safe
// against a determined attacker; offered because the batch format asks for it and readers expect it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zipengine {

class TraditionalCipher
{
public:
    explicit TraditionalCipher(const std::string& password);

    // Encrypts in place, continuing the key stream.
    void encrypt(std::uint8_t* data, std::size_t size);
    // Decrypts in place, continuing the key stream (the 12-byte header first, then the data).
    void decrypt(std::uint8_t* data, std::size_t size);

    // Fills the 12-byte encryption header: 11 random bytes from the system's random source and the
    // check byte, then encrypts it. The cipher must be fresh (just constructed). Raises EngineError
    // when no random bytes can be had.
    void makeHeader(std::uint8_t checkByte, std::uint8_t header[12]);

private:
    void update(std::uint8_t plain);
    std::uint8_t streamByte() const;

    std::uint32_t m_keys[3];
};

} // namespace zipengine
