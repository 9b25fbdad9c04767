namespace kelpax {}
