CorvantaCmdVer 1
execute_penselect 1
pdƒdefault 4000 0
pu_default 0 0
