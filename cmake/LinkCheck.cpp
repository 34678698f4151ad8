// Linked with every object of one folder library and only the libraries it declares: an
// undefined reference means the folder calls into one it may not use.
int main()
{
    return 0;
}
