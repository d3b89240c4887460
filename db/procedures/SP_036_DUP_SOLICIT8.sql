-- params: Nota_Fiscal_ID, Num_Container, Tab_Tipo_Container_ID, Solicit_Embarque_Container_ID, Ordem_Servico_ID
-- Whether a container the closing reports is already on another container
-- request of an order still open (one with a service-type record not yet
-- closed or cancelled): a container cannot be on two transports at once.
-- Its own request does not count; a request of a closed or cancelled order
-- no longer holds the container. The number is what identifies a container,
-- so neither the type nor an invoice (the closing sends none) changes the
-- answer. Always answers one row: retorno 0, or 1 with the reason in Msg_Ret.
WITH outra AS (
  SELECT sec.SOLICIT_EMBARQUE_CONTAINER_ID, os.NUM_OS
    FROM CONTAINER c
    JOIN SOLICIT_EMBARQUE_CONTAINER sec ON sec.CONTAINER_ID = c.CONTAINER_ID
    JOIN ORDEM_SERVICO os               ON os.ORDEM_SERVICO_ID = sec.ORDEM_SERVICO_ID
   WHERE c.NUM_CONTAINER = upper(trim(:Num_Container))
     AND sec.SOLICIT_EMBARQUE_CONTAINER_ID IS NOT :Solicit_Embarque_Container_ID
     AND EXISTS (SELECT 1
                   FROM ORDEM_SERVICO_TIPO ost
                  WHERE ost.ORDEM_SERVICO_ID = os.ORDEM_SERVICO_ID
                    AND ost.TAB_STATUS_OS_TIPO_ID = 1)
   ORDER BY sec.SOLICIT_EMBARQUE_CONTAINER_ID
   LIMIT 1
)
SELECT CASE WHEN o.NUM_OS IS NULL THEN 0 ELSE 1 END AS retorno,
       'O container ' || upper(trim(:Num_Container)) ||
         ' já está na solicitação de embarque ' || o.SOLICIT_EMBARQUE_CONTAINER_ID ||
         ' da ordem de serviço ' || o.NUM_OS || ', ainda aberta.' AS Msg_Ret
  FROM (SELECT 1) LEFT JOIN outra o;
