// (being written)
class OString {
public:
    OString();
    OString(const char*, int = 0);
    explicit OString(int);
    int length() const;
};
OString operator+(const OString&, const OString&);
