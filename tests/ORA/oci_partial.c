/* A library that looks like an incomplete OCI client: it exports only the
   first entry points the loader asks for, so that loading it must fail on
   the first one missing (OCIHandleFree). */
int OCIEnvCreate(void)
{
    return -1;
}

int OCIHandleAlloc(void)
{
    return -1;
}
