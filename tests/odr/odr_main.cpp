// The program of the link-time One Definition Rule check: it does nothing, but links every
// object of every core library, so that -flto -Wodr compares every type the core defines twice.
int main()
{
    return 0;
}
