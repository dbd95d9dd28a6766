#pragma once
// TVrataPodatkov: the port an active data connection listens at next.
//
// Contract: the port stays within kPrva..kZadnja. Nova picks a random one in
// the first 255 (a new session, a 450); Naslednja moves on by one, wrapping to
// kPrva after kZadnja (after each PORT, and past a port another program holds).
class TVrataPodatkov {
public:
    static constexpr int kPrva = 1280;
    static constexpr int kZadnja = 1600;

    int Vrata() const { return m_vrata; }
    void SetVrata(int vrata) { m_vrata = vrata; }
    void Nova();
    void Naslednja();

private:
    int m_vrata = kPrva;
};
